// The demo scenario of the fake analysis server, for a newcomer's first run
// (scripts/run): whatever JPEG image arrives, the reply lays the demo's tooth
// boxes over a panoramic picture of that image's size and gives a few teeth
// findings of several kinds; the other teeth have none.
#pragma once

#include <string>

// The width and height in the frame header of the JPEG data `bytes`; false
// when the data ends, or is not JPEG, before a frame header.
bool JpegImageSize(const std::string& bytes, int* width, int* height);

// The reply frame to an analysis request (its bytes as received): accepted,
// with tooth boxes and findings, when it carries a JPEG image whose size can be
// read; refused ("#@RETCODE@#" "0") otherwise.
std::string DemoReply(const std::string& request);
