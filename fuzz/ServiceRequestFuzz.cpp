// Parses arbitrary bytes as the payload of a loopback request frame. An
// accepted request must be whole: a known command, an image path that is not
// empty and holds no NUL, an UPDATE with a GUID.
#include "service/ServiceRequest.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string payload(reinterpret_cast<const char*>(data), size);
    SServiceRequest req;
    const bool ok = ParseRequestPayload(payload.data(), static_cast<int>(payload.size()), &req);
    if (!ok) {
        Check(req.command == COMMAND_NONE);
        return 0;
    }
    switch (req.command) {
    case COMMAND_NEW:
    case COMMAND_NEWSHARP:
    case COMMAND_NEWSMART:
        Check(!req.imagePath.empty() && req.imagePath.find('\0') == std::string::npos);
        Check(payload.find(req.imagePath) != std::string::npos);
        break;
    case COMMAND_UPDATE:
        Check(!req.guid.empty() && req.guid.find('\0') == std::string::npos);
        Check(req.disInfo.find('\0') == std::string::npos);
        Check(payload.compare(0, 7, "UPDATE;") == 0);
        break;
    case COMMAND_SHUTDOWN:
        Check(payload.compare(0, 9, "SHUTDOWN;") == 0);
        break;
    default:
        Check(false);
    }
    return 0;
}
