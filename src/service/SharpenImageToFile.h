#pragma once

#include <string>

// Loads the JPEG image named by the narrow `source` path (the thread's ANSI
// code page), auto-levels and sharpens it, and saves it as JPEG to
// `destination`. False, with nothing left at `destination`, when the source
// is no JPEG file, cannot be loaded, or an effect or the save fails.
bool SharpenImageToFile(const std::string& source, const wchar_t* destination);
