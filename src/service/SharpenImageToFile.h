#pragma once

#include <windows.h>

#include <string>

// Loads the JPEG image named by the narrow `source` path (the thread's ANSI
// code page), auto-levels and sharpens it, and writes it as JPEG through
// `destination`, a new file's handle. False when the source is no JPEG file,
// cannot be loaded, or an effect or the write fails; the file is then the
// caller's to delete.
bool SharpenImageToFile(const std::string& source, HANDLE destination);
