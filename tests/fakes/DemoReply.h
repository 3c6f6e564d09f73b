// The demo scenario of the fake analysis server, for a newcomer's first run
// (scripts/run): whatever JPEG image arrives, the reply lays the demo's tooth
// boxes over a panoramic picture of that image's size and gives a few teeth
// findings of several kinds; the other teeth have none. The system test's
// transfer tests pass, as against a working server.
#pragma once

#include <string>

// The width and height in the frame header of the JPEG data `bytes`; false
// when the data ends, or is not JPEG, before a frame header.
bool JpegImageSize(const std::string& bytes, int* width, int* height);

// The reply frame to a request (its bytes as received). A transfer test gets
// its text echoed, or the test text of two equal halves. An analysis is
// accepted, with tooth boxes and findings, when it carries a JPEG image whose
// size can be read; refused ("#@RETCODE@#" "0") otherwise, as is every other
// request.
std::string DemoReply(const std::string& request);
