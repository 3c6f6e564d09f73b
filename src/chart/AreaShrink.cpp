#include "chart/AreaShrink.h"

#include <vector>

namespace {

constexpr int kChannels = 3;

// The first source index of target index `i` when `source` indexes shrink
// to `target`; the block of i ends where that of i + 1 begins.
int32_t BlockStart(int32_t i, int32_t source, int32_t target)
{
    return static_cast<int32_t>(static_cast<int64_t>(i) * source / target);
}

} // namespace

bool ShrinkByAreaAverage(const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, ptrdiff_t sourceStride,
                         uint32_t* target, int32_t targetWidth, int32_t targetHeight)
{
    if (source == nullptr || target == nullptr || targetWidth <= 0 || targetHeight <= 0 || targetWidth > sourceWidth ||
        targetHeight > sourceHeight) {
        return false;
    }
    // Sums of the source rows of one target row, per source column and channel.
    std::vector<uint32_t> columnSums(static_cast<size_t>(sourceWidth) * kChannels);
    std::vector<int32_t> columnStarts(static_cast<size_t>(targetWidth) + 1);
    for (int32_t x = 0; x <= targetWidth; ++x) {
        columnStarts[static_cast<size_t>(x)] = BlockStart(x, sourceWidth, targetWidth);
    }
    for (int32_t y = 0; y < targetHeight; ++y) {
        const int32_t top = BlockStart(y, sourceHeight, targetHeight);
        const int32_t bottom = BlockStart(y + 1, sourceHeight, targetHeight);
        const uint8_t* first = source + static_cast<ptrdiff_t>(top) * sourceStride;
        for (size_t i = 0; i < columnSums.size(); ++i) {
            columnSums[i] = first[i];
        }
        for (int32_t row = top + 1; row < bottom; ++row) {
            const uint8_t* pixel = source + static_cast<ptrdiff_t>(row) * sourceStride;
            for (size_t i = 0; i < columnSums.size(); ++i) {
                columnSums[i] += pixel[i];
            }
        }
        uint32_t* out = target + static_cast<size_t>(y) * static_cast<size_t>(targetWidth);
        for (int32_t x = 0; x < targetWidth; ++x) {
            const int32_t left = columnStarts[static_cast<size_t>(x)];
            const int32_t right = columnStarts[static_cast<size_t>(x) + 1];
            uint32_t blue = 0;
            uint32_t green = 0;
            uint32_t red = 0;
            for (int32_t column = left; column < right; ++column) {
                const uint32_t* sums = &columnSums[static_cast<size_t>(column) * kChannels];
                blue += sums[0];
                green += sums[1];
                red += sums[2];
            }
            // Rounded to the nearest level.
            const uint32_t count = static_cast<uint32_t>(right - left) * static_cast<uint32_t>(bottom - top);
            blue = (blue + count / 2) / count;
            green = (green + count / 2) / count;
            red = (red + count / 2) / count;
            out[x] = (red << 16) | (green << 8) | blue;
        }
    }
    return true;
}
