#include "chart/AreaShrink.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int CHANNELS = 3;
constexpr uint32_t CHANNEL_MAX = 255;
// An interpolated pixel takes its two sources in parts of this many.
constexpr uint32_t LINEAR_PARTS = 256;

// Which source pixels make each target pixel along one side, and how much
// of each: target i weighs tapCount[i] sources from sourceStart[i] on by the
// weights from weightStart[i] on, and divides their sum by totals[i].
struct Taps {
    std::vector<int32_t> sourceStart;
    std::vector<uint32_t> tapCount;
    std::vector<uint32_t> weightStart;
    std::vector<uint32_t> weights;
    std::vector<uint32_t> totals;
    uint32_t largestTotal = 0;

    // Target i + 1 after the last: `tapWeights` for the sources from `start` on.
    void Add(int32_t start, const std::vector<uint32_t>& tapWeights)
    {
        sourceStart.push_back(start);
        tapCount.push_back(static_cast<uint32_t>(tapWeights.size()));
        weightStart.push_back(static_cast<uint32_t>(weights.size()));
        weights.insert(weights.end(), tapWeights.begin(), tapWeights.end());
        uint32_t total = 0;
        for (const uint32_t weight : tapWeights) {
            total += weight;
        }
        totals.push_back(total);
        largestTotal = std::max(largestTotal, total);
    }
};

// Blocks when the side shrinks (or keeps its size), two nearest pixels by
// their centres when it grows.
Taps TapsOf(int32_t source, int32_t target)
{
    Taps taps;
    for (int32_t i = 0; i < target; ++i) {
        if (target <= source) {
            // The block of i ends where that of i + 1 begins.
            const auto start = static_cast<int32_t>(static_cast<int64_t>(i) * source / target);
            const auto end = static_cast<int32_t>(static_cast<int64_t>(i + 1) * source / target);
            taps.Add(start, std::vector<uint32_t>(static_cast<size_t>(end - start), 1));
            continue;
        }
        // The centre of target pixel i in source pixels, less a half: twice
        // the target's size is its denominator.
        const int64_t numerator = (2 * static_cast<int64_t>(i) + 1) * source - target;
        const int64_t denominator = 2 * static_cast<int64_t>(target);
        const int64_t whole = numerator <= 0 ? 0 : numerator / denominator;
        if (numerator <= 0 || whole >= source - 1) {
            taps.Add(static_cast<int32_t>(numerator <= 0 ? 0 : source - 1), {LINEAR_PARTS});
            continue;
        }
        const auto part = static_cast<uint32_t>((numerator - whole * denominator) * LINEAR_PARTS / denominator);
        taps.Add(static_cast<int32_t>(whole), {LINEAR_PARTS - part, part});
    }
    return taps;
}

} // namespace

bool ResizePicture(const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, ptrdiff_t sourceStride,
                   uint32_t* target, int32_t targetWidth, int32_t targetHeight)
{
    if (source == nullptr || target == nullptr || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0) {
        return false;
    }
    const Taps columns = TapsOf(sourceWidth, targetWidth);
    const Taps rows = TapsOf(sourceHeight, targetHeight);
    if (uint64_t{CHANNEL_MAX} * columns.largestTotal * rows.largestTotal > UINT32_MAX) {
        return false;
    }
    // The weighted sums of the source rows of one target row, per source
    // column and channel.
    std::vector<uint32_t> columnSums(static_cast<size_t>(sourceWidth) * CHANNELS);
    for (int32_t y = 0; y < targetHeight; ++y) {
        std::fill(columnSums.begin(), columnSums.end(), 0);
        const uint32_t* rowWeights = &rows.weights[rows.weightStart[static_cast<size_t>(y)]];
        for (uint32_t k = 0; k < rows.tapCount[static_cast<size_t>(y)]; ++k) {
            const uint8_t* pixel =
                source + static_cast<ptrdiff_t>(rows.sourceStart[static_cast<size_t>(y)] + static_cast<int32_t>(k)) *
                             sourceStride;
            const uint32_t weight = rowWeights[k];
            for (size_t i = 0; i < columnSums.size(); ++i) {
                columnSums[i] += weight * pixel[i];
            }
        }
        const uint32_t rowTotal = rows.totals[static_cast<size_t>(y)];
        uint32_t* out = target + static_cast<size_t>(y) * static_cast<size_t>(targetWidth);
        for (int32_t x = 0; x < targetWidth; ++x) {
            const auto column = static_cast<size_t>(x);
            const uint32_t* sums = &columnSums[static_cast<size_t>(columns.sourceStart[column]) * CHANNELS];
            const uint32_t* weights = &columns.weights[columns.weightStart[column]];
            uint32_t blue = 0;
            uint32_t green = 0;
            uint32_t red = 0;
            for (uint32_t k = 0; k < columns.tapCount[column]; ++k, sums += CHANNELS) {
                blue += weights[k] * sums[0];
                green += weights[k] * sums[1];
                red += weights[k] * sums[2];
            }
            // Rounded to the nearest level.
            const uint32_t total = columns.totals[column] * rowTotal;
            blue = (blue + total / 2) / total;
            green = (green + total / 2) / total;
            red = (red + total / 2) / total;
            out[x] = (red << 16) | (green << 8) | blue;
        }
    }
    return true;
}
