#include "foundation/TextFile.h"

#include "foundation/Utf8.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

namespace {

constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";
constexpr std::streamsize UTF8_BOM_LENGTH = 3;

} // namespace

bool GuidToString(const GUID* guid, std::string* out)
{
    if (guid == nullptr) {
        return false;
    }
    char text[37] = {};
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid->Data1), static_cast<unsigned>(guid->Data2),
                  static_cast<unsigned>(guid->Data3), guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3],
                  guid->Data4[4], guid->Data4[5], guid->Data4[6], guid->Data4[7]);
    if (out != nullptr) {
        *out = text;
    }
    return true;
}

namespace {

template <typename PathChar> bool ReadBytesAt(const PathChar* path, std::string* out)
{
    if (path == nullptr) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end < 0 || static_cast<unsigned long long>(end) >= std::string().max_size()) {
        return false;
    }
    std::streamsize size = static_cast<std::streamsize>(end);
    file.seekg(0, std::ios::beg);

    char head[UTF8_BOM_LENGTH] = {};
    file.read(head, UTF8_BOM_LENGTH);
    if (file.gcount() == UTF8_BOM_LENGTH && std::memcmp(head, UTF8_BOM, UTF8_BOM_LENGTH) == 0) {
        size -= UTF8_BOM_LENGTH;
    } else {
        file.clear();
        file.seekg(0, std::ios::beg);
    }

    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    file.read(bytes.data(), size);
    // A file that shrank since it was sized gives what it still holds; a
    // failing device is a failure.
    if (file.bad()) {
        return false;
    }
    bytes.resize(static_cast<size_t>(file.gcount()));
    bytes.resize(std::strlen(bytes.c_str()));
    if (out != nullptr) {
        out->swap(bytes);
    }
    return true;
}

template <typename PathChar> bool ReadUtf8At(const PathChar* path, std::wstring* out)
{
    std::string bytes;
    if (!ReadBytesAt(path, &bytes)) {
        return false;
    }
    if (out != nullptr) {
        try {
            *out = Utf8ToWide(bytes);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    return true;
}

template <typename PathChar> bool WriteUtf8At(const PathChar* path, const std::wstring& text)
{
    if (path == nullptr) {
        return false;
    }
    std::string bytes;
    try {
        bytes = WideToUtf8(std::wstring_view(text.c_str()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

} // namespace

bool ReadWholeFile(const char* path, std::string* out)
{
    return ReadBytesAt(path, out);
}

bool ReadUtf8File(const char* path, std::wstring* out)
{
    return ReadUtf8At(path, out);
}

bool WriteUtf8File(const char* path, const std::wstring& text)
{
    return WriteUtf8At(path, text);
}

#ifdef _WIN32
bool ReadUtf8File(const wchar_t* path, std::wstring* out)
{
    return ReadUtf8At(path, out);
}

bool WriteUtf8File(const wchar_t* path, const std::wstring& text)
{
    return WriteUtf8At(path, text);
}
#endif
