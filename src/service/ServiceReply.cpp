#include "service/ServiceReply.h"

#include "analysis/TextField.h"
#include "service/ServiceProtocol.h"

#include <memory>

namespace {

// FormatField takes its value up to the first NUL: a value holding one would
// go out cut short under a LEN that still matches, so it is refused.
bool HoldsNul(const std::string& value)
{
    return value.find('\0') != std::string::npos;
}

} // namespace

bool BuildCodeReply(bool ok, char* frame, int* frameLen)
{
    *frameLen = 0;
    if (frame == nullptr) {
        return false;
    }
    char payload[MAX_FIELD_HEADER];
    if (FormatField(payload, sizeof payload, FIELD_CODE, ok ? "1" : "0") == 0) {
        return false;
    }
    *frameLen = FormatField(frame, FRAME_BUFFER_SIZE, KEY_REPLY_FRAME, payload);
    return *frameLen > 0;
}

bool BuildResultReply(const std::string& guid, const std::string& disInfo, const std::string* sharpPath, char* frame,
                      int* frameLen)
{
    *frameLen = 0;
    if (frame == nullptr || HoldsNul(guid) || HoldsNul(disInfo) || (sharpPath != nullptr && HoldsNul(*sharpPath))) {
        return false;
    }
    const std::unique_ptr<char[]> payload(new char[REPLY_PAYLOAD_SIZE]);
    int used = 0;
    const auto append = [&](const char* key, const char* value) {
        const int written = FormatField(payload.get() + used, REPLY_PAYLOAD_SIZE - used, key, value);
        used += written;
        return written > 0;
    };
    if (!append(FIELD_CODE, "1") || !append(FIELD_GUID, guid.c_str()) || !append(FIELD_DISINFO, disInfo.c_str()) ||
        (sharpPath != nullptr && !append(FIELD_SHARP, sharpPath->c_str()))) {
        return false;
    }
    *frameLen = FormatField(frame, FRAME_BUFFER_SIZE, KEY_REPLY_FRAME, payload.get());
    return *frameLen > 0;
}
