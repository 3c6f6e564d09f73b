// A parsed loopback request and the reading of its frame.
#pragma once

#include "foundation/Portable.h"

#include <cstdint>
#include <string>

enum ServiceCommand : int32_t {
    COMMAND_NONE = 0,
    COMMAND_NEW = 1,
    COMMAND_NEWSHARP = 2,
    COMMAND_NEWSMART = 3,
    COMMAND_UPDATE = 4,
    COMMAND_SHUTDOWN = 5,
};

struct SServiceRequest {
    int32_t command = COMMAND_NONE;
    // The image of NEW, NEWSHARP and NEWSMART, narrow text in the ANSI code page.
    std::string imagePath;
    // The analysis that UPDATE corrects, and its findings-by-code text.
    std::string guid;
    std::string disInfo;
};

// Reads the command field at the start of a request frame's payload of `len`
// bytes and, for UPDATE, its GUID and DISINFO fields in either order, other
// fields skipped. False for an unknown command, an empty or NUL-holding image
// path, an UPDATE without both fields or with an empty GUID, and a field
// whose LEN is negative or runs past the payload.
bool ParseRequestPayload(const char* payload, int len, SServiceRequest* req);

// Receives one "PTL1" frame from `client` and parses it. False when no whole
// frame with a payload of at most MAX_REQUEST_LEN bytes arrives within
// `waitMs`, or the payload is no request.
bool ReceiveRequest(SOCKET* client, SServiceRequest* req, int waitMs);
