#include "capture/EffectKernels.h"

#include "capture/Blur.h"

#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr int kLevels = 256;
constexpr uint32_t kPartialTables = 4;
constexpr int32_t kTargetMean = 140;
// 255 in fixed point over 1024: the stretch maps the span onto 0..255.
constexpr int32_t kFullScale = 255 * 1024;
constexpr int kScaleShift = 10;
// |p - q| * k must stay within 32 bits.
constexpr float kMaxAmountFactor = static_cast<float>(1 << 22);

inline int32_t Luma(int32_t blue, int32_t green, int32_t red)
{
    return (76 * red + 150 * green + 30 * blue) >> 8;
}

inline uint8_t Clamp(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

} // namespace

// Right shifts of negative values are arithmetic here (as in every compiler
// we build with); the arithmetic is defined on that.
bool AutoLevelPixels(const PixelView& pixels, double lowFraction, double highClipFraction)
{
    const uint64_t count = static_cast<uint64_t>(pixels.width) * pixels.height;
    if (count == 0) {
        return false;
    }
    // Neighbouring pixels count into separate tables, so that a run of equal
    // levels does not wait on one counter; the tables are added up after.
    uint32_t partial[kPartialTables][kLevels] = {};
    uint64_t lumaSum = 0;
    for (uint32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* p = pixels.Row(y);
        for (uint32_t x = 0; x < pixels.width; ++x, p += 3) {
            const int32_t luma = Luma(p[0], p[1], p[2]);
            ++partial[x % kPartialTables][luma];
            lumaSum += static_cast<uint64_t>(luma);
        }
    }
    uint32_t histogram[kLevels] = {};
    for (const auto& table : partial) {
        for (int level = 0; level < kLevels; ++level) {
            histogram[level] += table[level];
        }
    }
    const int32_t offset = kTargetMean - static_cast<int32_t>(lumaSum / count);
    const double lowThreshold = static_cast<double>(count) * lowFraction;
    const double highThreshold = (1.0 - highClipFraction) * static_cast<double>(count);

    int low = 0;
    int high = 0;
    uint64_t reached = histogram[0];
    for (int level = 1; level < kLevels; ++level) {
        reached += histogram[level];
        if (low == 0 && static_cast<double>(reached) >= lowThreshold) {
            low = level;
        }
        if (static_cast<double>(reached) >= highThreshold) {
            high = level;
            break;
        }
    }
    // No span to stretch (or fractions that never meet): leave the image be.
    if (low == 0 || high <= low) {
        return false;
    }
    const int32_t scale = kFullScale / (high - low);
    const int32_t base = scale * low;

    for (uint32_t y = 0; y < pixels.height; ++y) {
        // Plain arithmetic on each pixel, no table, so that a compiler able to
        // split the three interleaved bytes vectorises the loop.
        uint8_t* p = pixels.Row(y);
        const size_t rowBytes = pixels.RowBytes();
        for (size_t j = 0; j < rowBytes; j += 3) {
            const int32_t blue = p[j];
            const int32_t green = p[j + 1];
            const int32_t red = p[j + 2];
            const int32_t luma = Luma(blue, green, red);
            const int32_t stretched = ((scale * luma - base) >> kScaleShift) + offset;
            const int32_t v = ((red - luma) * 227) >> 8;
            const int32_t u = ((blue - luma) * 126) >> 8;
            p[j] = Clamp(stretched + ((u * 520) >> 8));
            p[j + 1] = Clamp(stretched - ((v * 148 + u * 100) >> 8));
            p[j + 2] = Clamp(stretched + ((v * 292) >> 8));
        }
    }
    return true;
}

namespace {

void UnsharpRow(uint8_t* p, const uint8_t* q, size_t count, int32_t k)
{
    for (size_t j = 0; j < count; ++j) {
        const int32_t value = p[j];
        p[j] = Clamp(value + (((value - q[j]) * k) >> kScaleShift));
    }
}

} // namespace

void UnsharpPixels(const PixelView& pixels, const PixelView& blurred, int32_t k)
{
    for (uint32_t y = 0; y < pixels.height; ++y) {
        UnsharpRow(pixels.Row(y), blurred.Row(y), pixels.RowBytes(), k);
    }
}

bool SharpenPixels(const PixelView& pixels, float amount, float radius)
{
    // The factor is the single-precision product truncated toward zero.
    const float factor = amount * 1024.0f;
    if (!(std::fabs(factor) < kMaxAmountFactor)) {
        return false;
    }
    const int32_t k = static_cast<int32_t>(factor);
    const uint64_t bytes = static_cast<uint64_t>(pixels.RowBytes()) * pixels.height;
    if (bytes > PTRDIFF_MAX) {
        return false;
    }
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[bytes == 0 ? 1 : static_cast<size_t>(bytes)]);
    if (!copy) {
        return false;
    }
    // Each blurred row arrives once the pixels above and at it are no longer
    // read by the blur, so it is applied at once.
    const PixelView scratch{copy.get(), pixels.width, pixels.height, static_cast<ptrdiff_t>(pixels.RowBytes())};
    return BlurPixelsByRow(pixels, scratch, radius, [&](uint32_t y, const uint8_t* blurredRow) {
        UnsharpRow(pixels.Row(y), blurredRow, pixels.RowBytes(), k);
    });
}
