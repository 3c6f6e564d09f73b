// The reply frames of the loopback protocol, built into a frame buffer of
// FRAME_BUFFER_SIZE bytes.
#pragma once

#include <string>

// ‹RPT1;8;CODE;1;1› when `ok`, else ‹RPT1;8;CODE;1;0›; `frameLen` := 15.
// False, with `frameLen` 0, for a null buffer.
bool BuildCodeReply(bool ok, char* frame, int* frameLen);

// The reply to an accepted analysis: CODE 1, the analysis's GUID, its
// findings-by-code text and, when `sharpPath` is given, the sharpened copy's
// path. False, with `frameLen` 0, when the payload does not fit in
// REPLY_PAYLOAD_SIZE bytes (or the frame in the buffer).
bool BuildResultReply(const std::string& guid, const std::string& disInfo, const std::string* sharpPath, char* frame,
                      int* frameLen);
