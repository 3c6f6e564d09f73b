// Arbitrary bytes as the value of a reply frame: the field header reader and
// the walk over the reply's fields must stay inside the bytes, and what they
// hand out must be what the bytes hold.
#include "analysis/TextField.h"
#include "analysis/ToothDetect.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void CheckHeader(const char* data, int size)
{
    std::string key;
    int valueLen = 0;
    int headerLen = 0;
    if (!ParseFieldHeader(data, size, &key, &valueLen, &headerLen)) {
        return;
    }
    Check(headerLen <= size && data[headerLen - 1] == ';');
    Check(key.size() + 2 <= static_cast<size_t>(headerLen) && key.find(';') == std::string::npos);
    Check(data[key.size()] == ';');
}

// A key and value cut from the bytes read back as they were written.
void CheckFormatReadsBack(const std::string& bytes)
{
    const size_t cut = bytes.size() / 3;
    std::string key = bytes.substr(0, cut);
    const std::string value = bytes.substr(cut);
    if (key.find(';') != std::string::npos || key.find('\0') != std::string::npos) {
        return;
    }
    char out[FRAME_BUFFER_SIZE];
    const int written = FormatField(out, sizeof out, key.c_str(), value.c_str());
    if (written == 0) {
        return;
    }
    TextField field;
    Check(ReadField(out, written, &field));
    Check(field.key == key && field.size == written);
    Check(std::string(field.value, field.valueLen) == std::string(value.c_str()));
}

bool Inside(const std::string& part, const std::string& bytes)
{
    return part.empty() || bytes.find(part) != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > FRAME_BUFFER_SIZE) {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckHeader(bytes.data(), static_cast<int>(size));
    CheckFormatReadsBack(bytes);

    // Every combination of wanted outputs, as the four requests want them.
    for (int wanted = 0; wanted < 8; ++wanted) {
        bool accepted = false;
        std::string posInfo;
        std::string disInfo;
        std::string extInfo;
        CToothDetect::ReadReport(bytes.data(), static_cast<int>(size), &accepted, (wanted & 1) ? &posInfo : nullptr,
                                 (wanted & 2) ? &disInfo : nullptr, (wanted & 4) ? &extInfo : nullptr);
        Check(Inside(posInfo, bytes) && Inside(disInfo, bytes) && Inside(extInfo, bytes));
    }
    return 0;
}
