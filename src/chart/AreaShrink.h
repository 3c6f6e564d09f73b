// Resizes a 24-bit picture to the chart's drawing rectangle. Along a side
// that shrinks, each target pixel is the mean of the block of source pixels
// it covers, so every source pixel is read once; along a side that grows,
// it is interpolated between the two nearest source pixels. A panoramic
// picture or a small capture reaches the chart's size within a frame or two,
// where a general resampler takes many. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// `source`: `sourceHeight` rows of `sourceWidth` pixels stored blue, green,
// red, `sourceStride` bytes apart. `target`: `targetHeight` rows of
// `targetWidth` pixels 0x00RRGGBB, top-down, without gaps. False, with the
// target untouched, when a size is not positive or a block is too large to
// be summed in 32 bits (a shrink by tens of thousands in both directions).
bool ResizePicture(const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, ptrdiff_t sourceStride,
                   uint32_t* target, int32_t targetWidth, int32_t targetHeight);
