#pragma once

#include <string>

// True when the file named by the narrow path (the ANSI code page on Windows)
// can be opened and begins with the JPEG start-of-image marker FF D8 FF. The
// service uploads only such files, never whatever file a client names.
bool BeginsWithJpegSignature(const std::string& path);
