// A grey panoramic-sized picture with structure (a jaw-like arch of bright
// blocks over a dark gradient) and noise, from a fixed generator.
#pragma once

#include "capture/PixelView.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct PanoramicImage {
    PanoramicImage(uint32_t width, uint32_t height, uint32_t seed = 2024)
        : width(width), height(height), bytes(size_t{width} * height * 3)
    {
        uint32_t state = seed;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const int64_t dx = static_cast<int64_t>(x) - width / 2;
                const int64_t arch = static_cast<int64_t>(height) / 2 + dx * dx * 2 / width / 3;
                const bool tooth = y > arch - height / 8 && y < arch + height / 8 && (x / (width / 32)) % 2 == 0;
                state = state * 1103515245u + 12345u;
                const int32_t noise = static_cast<int32_t>((state >> 16) % 25) - 12;
                int32_t grey = 30 + static_cast<int32_t>(y * 60 / height) + (tooth ? 110 : 0) + noise;
                grey = grey < 0 ? 0 : (grey > 255 ? 255 : grey);
                uint8_t* p = &bytes[(size_t{y} * width + x) * 3];
                p[0] = p[1] = p[2] = static_cast<uint8_t>(grey);
            }
        }
    }

    PixelView View() { return {bytes.data(), width, height, static_cast<ptrdiff_t>(width) * 3}; }
    double Megapixels() const { return double(width) * height / 1e6; }

    uint32_t width;
    uint32_t height;
    std::vector<uint8_t> bytes;
};

// Best of `rounds` timings of `work`, in milliseconds; `prepare` runs untimed first.
template <typename Prepare, typename Work>
double BestMs(int rounds, Prepare prepare, Work work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        best = spent.count() < best ? spent.count() : best;
    }
    return best;
}

constexpr uint32_t kPanoramicSizes[][2] = {{3000, 1500}, {6000, 3000}};

// The whole batch mode is timed on this many files of the first size.
constexpr int kBatchFileCount = 12;
