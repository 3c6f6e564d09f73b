// The kernel: three box blurs in a row along each axis, which approximates a
// Gaussian (standard deviation about a third of the reach). The reach R is
// split over the three boxes as evenly as possible (20 gives half-widths 7, 7
// and 6), so each output pixel draws on exactly R pixels either side. Each
// box is a running sum: one add and one subtract per byte, whatever the
// width. Beyond the border the edge pixel repeats. Every pass rounds to a
// byte, dividing by the box width through an exact multiply and shift.
//
// The passes run down columns of bytes, so the inner loop walks along a row
// and the compiler vectorises it (each byte column is one colour channel of
// one pixel column). The horizontal passes run on a transposed copy.
#include "capture/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kBoxes = 3;
constexpr uint32_t kMaxBoxRadius = kMaxBlurReach / kBoxes;
// Columns of bytes handled together, so that a strip stays in the cache
// across the three passes.
constexpr size_t kStripBytes = 512;
constexpr size_t kTransposeBlock = 16;

struct BoxRadii {
    uint32_t radius[kBoxes];
};

BoxRadii SplitReach(float radius)
{
    uint32_t reach = 0;
    if (std::isfinite(radius) && radius > 0.0f) {
        reach = static_cast<uint32_t>(std::min(std::lround(radius), static_cast<long>(kMaxBlurReach)));
    }
    BoxRadii boxes{};
    for (int i = 0; i < kBoxes; ++i) {
        boxes.radius[i] = reach / kBoxes + (static_cast<uint32_t>(i) < reach % kBoxes ? 1 : 0);
    }
    return boxes;
}

template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// Rows of bytes with their own stride; `BoxPass` reads and writes such a strip.
struct ByteRows {
    uint8_t* first;
    ptrdiff_t stride;
    uint8_t* Row(uint32_t y) const { return first + static_cast<ptrdiff_t>(y) * stride; }
};

// One box pass down `count` byte columns of `rows` rows. `in` and `out` may be
// the same memory: the input rows still needed are then kept in `ring`
// (radius + 1 rows of `count` bytes).
void BoxPass(ByteRows in, ByteRows out, uint32_t rows, size_t count, uint32_t radius, uint32_t* sum, uint8_t* ring)
{
    const uint32_t width = 2 * radius + 1;
    // (sum + width / 2) * multiplier >> 24 is the rounded quotient for every
    // sum of bytes over a box of at most 256 bytes, without a division.
    const uint32_t multiplier = ((1u << 24) + width - 1) / width;
    const uint32_t half = width / 2;
    const bool inPlace = in.first == out.first;
    const uint32_t last = rows - 1;

    const uint8_t* first = in.Row(0);
    for (size_t j = 0; j < count; ++j) {
        sum[j] = (radius + 1) * first[j];
    }
    for (uint32_t i = 1; i <= radius; ++i) {
        const uint8_t* row = in.Row(std::min(i, last));
        for (size_t j = 0; j < count; ++j) {
            sum[j] += row[j];
        }
    }
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* current = in.Row(y);
        if (inPlace) {
            std::memcpy(ring + static_cast<size_t>(y % (radius + 1)) * count, current, count);
        }
        uint8_t* target = out.Row(y);
        for (size_t j = 0; j < count; ++j) {
            target[j] = static_cast<uint8_t>(((sum[j] + half) * multiplier) >> 24);
        }
        if (y == last) {
            break;
        }
        const uint32_t leaving = y > radius ? y - radius : 0;
        const uint8_t* added = in.Row(std::min(y + radius + 1, last));
        const uint8_t* removed =
            inPlace ? ring + static_cast<size_t>(leaving % (radius + 1)) * count : in.Row(leaving);
        for (size_t j = 0; j < count; ++j) {
            sum[j] += static_cast<uint32_t>(added[j]) - removed[j];
        }
    }
}

// The three box passes down every byte column, strip by strip.
bool BlurColumns(ByteRows in, ByteRows out, uint32_t rows, size_t rowBytes, const BoxRadii& boxes)
{
    auto sum = TryAllocate<uint32_t>(kStripBytes);
    auto ring = TryAllocate<uint8_t>((kMaxBoxRadius + 1) * kStripBytes);
    if (!sum || !ring) {
        return false;
    }
    for (size_t start = 0; start < rowBytes; start += kStripBytes) {
        const size_t count = std::min(kStripBytes, rowBytes - start);
        ByteRows source{in.first + start, in.stride};
        const ByteRows target{out.first + start, out.stride};
        for (const uint32_t radius : boxes.radius) {
            BoxPass(source, target, rows, count, radius, sum.get(), ring.get());
            source = target;
        }
    }
    return true;
}

// Pixel (x, y) of `source` becomes pixel (y, x) of `target`.
void Transpose(const PixelView& source, const PixelView& target)
{
    for (uint32_t y0 = 0; y0 < source.height; y0 += kTransposeBlock) {
        const uint32_t y1 = std::min<uint32_t>(source.height, y0 + kTransposeBlock);
        for (uint32_t x0 = 0; x0 < source.width; x0 += kTransposeBlock) {
            const uint32_t x1 = std::min<uint32_t>(source.width, x0 + kTransposeBlock);
            for (uint32_t y = y0; y < y1; ++y) {
                const uint8_t* from = source.Row(y);
                for (uint32_t x = x0; x < x1; ++x) {
                    std::memcpy(target.Row(x) + static_cast<size_t>(y) * 3, from + static_cast<size_t>(x) * 3, 3);
                }
            }
        }
    }
}

} // namespace

bool BlurPixels(const PixelView& source, const PixelView& target, float radius)
{
    if (source.width == 0 || source.height == 0) {
        return true;
    }
    const BoxRadii boxes = SplitReach(radius);
    if (!BlurColumns({source.firstRow, source.stride}, {target.firstRow, target.stride}, source.height,
                     source.RowBytes(), boxes)) {
        return false;
    }
    // Rows of the transposed image are columns of the image, so the same
    // column passes blur along the rows.
    const uint64_t bytes = static_cast<uint64_t>(source.width) * source.height * 3;
    if (bytes > PTRDIFF_MAX) {
        return false;
    }
    const size_t transposedRowBytes = static_cast<size_t>(source.height) * 3;
    auto transposed = TryAllocate<uint8_t>(static_cast<size_t>(bytes));
    if (!transposed) {
        return false;
    }
    const PixelView across{transposed.get(), source.height, source.width, static_cast<ptrdiff_t>(transposedRowBytes)};
    Transpose(target, across);
    if (!BlurColumns({across.firstRow, across.stride}, {across.firstRow, across.stride}, across.height,
                     across.RowBytes(), boxes)) {
        return false;
    }
    Transpose(across, target);
    return true;
}
