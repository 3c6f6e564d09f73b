// Small 24-bit test images in memory, with a view onto them.
#pragma once

#include "capture/PixelView.h"

#include <cstdint>
#include <vector>

struct TestImage {
    TestImage(uint32_t width, uint32_t height, uint32_t padding = 0)
        : width(width), height(height), stride(width * 3 + padding), bytes(static_cast<size_t>(stride) * height, 0)
    {
    }

    PixelView View() { return {bytes.data(), width, height, static_cast<ptrdiff_t>(stride)}; }
    uint8_t* At(uint32_t x, uint32_t y) { return bytes.data() + static_cast<size_t>(y) * stride + x * 3; }
    void SetGrey(uint32_t x, uint32_t y, uint8_t value)
    {
        uint8_t* p = At(x, y);
        p[0] = p[1] = p[2] = value;
    }
    void Fill(uint8_t value)
    {
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                SetGrey(x, y, value);
            }
        }
    }

    uint32_t width;
    uint32_t height;
    uint32_t stride;
    std::vector<uint8_t> bytes;
};

// Grey structure (a gradient and a ring) with colour noise from a fixed
// generator, so every build sees the same image.
inline TestImage MakeStructuredImage(uint32_t width, uint32_t height)
{
    TestImage image(width, height);
    uint32_t state = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const int32_t dx = static_cast<int32_t>(x) - static_cast<int32_t>(width / 2);
            const int32_t dy = static_cast<int32_t>(y) - static_cast<int32_t>(height / 2);
            const int32_t ring = (dx * dx + dy * dy) / 64 % 7 == 0 ? 60 : 0;
            const int32_t grey = 40 + static_cast<int32_t>(x * 120 / width) + ring;
            uint8_t* p = image.At(x, y);
            for (int c = 0; c < 3; ++c) {
                state = state * 1103515245u + 12345u;
                const int32_t value = grey + static_cast<int32_t>((state >> 16) % 21) - 10;
                p[c] = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
            }
        }
    }
    return image;
}
