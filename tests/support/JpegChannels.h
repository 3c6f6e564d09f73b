// JPEG files of one or four components, which GDI+ does not write: grey ones
// as X-ray machines write them, CMYK ones as print shops do. For tests and
// benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes through the system's imaging codecs: `channels` 1 (grey) or 4
// (CMYK), rows of `width * channels` bytes.
bool WriteJpegChannels(const std::wstring& path, uint32_t width, uint32_t height, uint32_t channels,
                       const std::vector<uint8_t>& rows);
