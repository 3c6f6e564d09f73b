// A window onto 24-bit pixels in memory: three bytes per pixel in the order
// blue, green, red, rows `stride` bytes apart (the stride may be negative or
// leave unused bytes at the end of a row, which are never touched).
#pragma once

#include <cstddef>
#include <cstdint>

struct PixelView {
    uint8_t* firstRow = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    ptrdiff_t stride = 0;

    uint8_t* Row(uint32_t y) const { return firstRow + static_cast<ptrdiff_t>(y) * stride; }
    size_t RowBytes() const { return static_cast<size_t>(width) * 3; }
};
