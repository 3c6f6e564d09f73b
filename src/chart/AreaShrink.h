// Shrinks a 24-bit picture by averaging the block of source pixels that each
// target pixel covers: every source pixel is read once, so a panoramic
// picture shrinks to the chart's size within a frame or two, where a
// general resampler takes many. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// `source`: `sourceHeight` rows of `sourceWidth` pixels stored blue, green,
// red, `sourceStride` bytes apart. `target`: `targetHeight` rows of
// `targetWidth` pixels 0x00RRGGBB, top-down, without gaps. The target must
// be no larger than the source in either direction and not empty; false,
// with the target untouched, otherwise.
bool ShrinkByAreaAverage(const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, ptrdiff_t sourceStride,
                         uint32_t* target, int32_t targetWidth, int32_t targetHeight);
