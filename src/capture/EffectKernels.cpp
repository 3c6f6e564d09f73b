#include "capture/EffectKernels.h"

#include "capture/Blur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

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

constexpr int32_t kMaxLevel = kLevels - 1;
// Byte differences (blue or red minus luma) run from -255 to 255.
constexpr int kDeltas = 2 * kMaxLevel + 1;
// At least the largest chroma term in either direction (259, the red one).
constexpr int32_t kMargin = 260;
constexpr int32_t kClampBias = 2 * kMargin;

constexpr int32_t ChromaU(int32_t blueDelta)
{
    return (blueDelta * 126) >> 8;
}

constexpr int32_t ChromaV(int32_t redDelta)
{
    return (redDelta * 227) >> 8;
}

// The chroma terms of the stretch for every byte difference, and the clamp to
// 0..255 as a lookup over every sum a stretched level and a term can make.
// The green term keeps its two products apart: adding them before the shift
// is what rounds it.
struct ChromaTables {
    int16_t blue[kDeltas];
    int16_t red[kDeltas];
    int32_t greenFromBlue[kDeltas];
    int32_t greenFromRed[kDeltas];
    uint8_t clamp[kMaxLevel + 2 * kClampBias + 1];
};

constexpr ChromaTables MakeChromaTables()
{
    ChromaTables tables{};
    for (int32_t delta = -kMaxLevel; delta <= kMaxLevel; ++delta) {
        const int32_t u = ChromaU(delta);
        const int32_t v = ChromaV(delta);
        tables.blue[delta + kMaxLevel] = static_cast<int16_t>((u * 520) >> 8);
        tables.red[delta + kMaxLevel] = static_cast<int16_t>((v * 292) >> 8);
        tables.greenFromBlue[delta + kMaxLevel] = u * 100;
        tables.greenFromRed[delta + kMaxLevel] = v * 148;
    }
    for (int32_t sum = -kClampBias; sum <= kMaxLevel + kClampBias; ++sum) {
        tables.clamp[sum + kClampBias] = static_cast<uint8_t>(sum < 0 ? 0 : (sum > kMaxLevel ? kMaxLevel : sum));
    }
    return tables;
}

constexpr ChromaTables kChroma = MakeChromaTables();

// Pulling a stretched level into -kMargin..255 + kMargin keeps every clamped
// result only while no term reaches past kMargin.
constexpr bool TermsWithinMargin()
{
    int32_t redLow = 0;
    int32_t redHigh = 0;
    int32_t blueLow = 0;
    int32_t blueHigh = 0;
    for (int i = 0; i < kDeltas; ++i) {
        if (kChroma.blue[i] < -kMargin || kChroma.blue[i] > kMargin || kChroma.red[i] < -kMargin ||
            kChroma.red[i] > kMargin) {
            return false;
        }
        redLow = kChroma.greenFromRed[i] < redLow ? kChroma.greenFromRed[i] : redLow;
        redHigh = kChroma.greenFromRed[i] > redHigh ? kChroma.greenFromRed[i] : redHigh;
        blueLow = kChroma.greenFromBlue[i] < blueLow ? kChroma.greenFromBlue[i] : blueLow;
        blueHigh = kChroma.greenFromBlue[i] > blueHigh ? kChroma.greenFromBlue[i] : blueHigh;
    }
    // The shift is monotonic, so the extremes of the two parts bound every green term.
    return ((redLow + blueLow) >> 8) >= -kMargin && ((redHigh + blueHigh) >> 8) <= kMargin;
}
static_assert(TermsWithinMargin(), "a chroma term reaches past the margin of the clamp table");

using Histogram = std::array<uint32_t, kLevels>;

// Counts the luma levels of rows `top` to `bottom` - 1 into `histogram`.
// Neighbouring pixels count into separate tables, so that a run of equal
// levels does not wait on one counter; the tables are added up after.
void CountLevels(const PixelView& pixels, uint32_t top, uint32_t bottom, Histogram& histogram)
{
    uint32_t partial[kPartialTables][kLevels] = {};
    for (uint32_t y = top; y < bottom; ++y) {
        const uint8_t* p = pixels.Row(y);
        uint32_t x = 0;
        static_assert(kPartialTables == 4, "one line per table below");
        for (; x + kPartialTables <= pixels.width; x += kPartialTables, p += 3 * kPartialTables) {
            ++partial[0][Luma(p[0], p[1], p[2])];
            ++partial[1][Luma(p[3], p[4], p[5])];
            ++partial[2][Luma(p[6], p[7], p[8])];
            ++partial[3][Luma(p[9], p[10], p[11])];
        }
        for (; x < pixels.width; ++x, p += 3) {
            ++partial[0][Luma(p[0], p[1], p[2])];
        }
    }
    for (size_t level = 0; level < histogram.size(); ++level) {
        histogram[level] = 0;
        for (const auto& table : partial) {
            histogram[level] += table[level];
        }
    }
}

// Every stretched level, pulled into the range where adding a chroma term
// can still land inside 0..255 (outside it the clamp gives the same byte),
// and moved up by the bias of the clamp table.
struct StretchTable {
    int32_t index[kLevels];
};

void StretchRows(const PixelView& pixels, uint32_t top, uint32_t bottom, const StretchTable& stretch)
{
    const int16_t* const blueTerm = kChroma.blue + kMaxLevel;
    const int16_t* const redTerm = kChroma.red + kMaxLevel;
    const int32_t* const greenFromBlue = kChroma.greenFromBlue + kMaxLevel;
    const int32_t* const greenFromRed = kChroma.greenFromRed + kMaxLevel;
    const uint8_t* const clamp = kChroma.clamp;
    const int32_t* const stretchedIndex = stretch.index;
    for (uint32_t y = top; y < bottom; ++y) {
        uint8_t* const end = pixels.Row(y) + pixels.RowBytes();
        for (uint8_t* p = pixels.Row(y); p != end; p += 3) {
            const int32_t blue = p[0];
            const int32_t red = p[2];
            const int32_t luma = Luma(blue, p[1], red);
            const int32_t index = stretchedIndex[luma];
            const int32_t blueDelta = blue - luma;
            const int32_t redDelta = red - luma;
            p[0] = clamp[index + blueTerm[blueDelta]];
            p[1] = clamp[index - ((greenFromRed[redDelta] + greenFromBlue[blueDelta]) >> 8)];
            p[2] = clamp[index + redTerm[redDelta]];
        }
    }
}

// Row strips for the level steps: a few per thread, so that a thread the
// system holds back does not hold back the step, but none of fewer rows than
// this, where starting a strip would cost more than it saves.
constexpr size_t kRowStripsPerThread = 4;
constexpr uint32_t kMinStripRows = 16;

uint32_t RowStripCount(const PixelView& pixels, const CStripRunner& runner)
{
    const size_t wanted = runner.Threads() == 1 ? 1 : runner.Threads() * kRowStripsPerThread;
    const uint32_t byRows = std::max<uint32_t>(1, pixels.height / kMinStripRows);
    return static_cast<uint32_t>(std::min<size_t>(wanted, byRows));
}

uint32_t StripTop(const PixelView& pixels, uint32_t strips, size_t index)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(pixels.height) * index / strips);
}

} // namespace

bool AutoLevelPixels(const PixelView& pixels, double lowFraction, double highClipFraction)
{
    CEffectWorkspace callerOnly;
    return AutoLevelPixels(pixels, lowFraction, highClipFraction, callerOnly);
}

// Right shifts of negative values are arithmetic here (as in every compiler
// we build with); the arithmetic is defined on that.
bool AutoLevelPixels(const PixelView& pixels, double lowFraction, double highClipFraction, CEffectWorkspace& workspace)
{
    const uint64_t count = static_cast<uint64_t>(pixels.width) * pixels.height;
    if (count == 0) {
        return false;
    }
    CStripRunner& runner = workspace.Runner();
    const uint32_t strips = RowStripCount(pixels, runner);
    std::vector<Histogram> counted(strips);
    runner.Run(strips, [&](size_t index, size_t) {
        CountLevels(pixels, StripTop(pixels, strips, index), StripTop(pixels, strips, index + 1), counted[index]);
    });
    // The luma sum comes from the histogram rather than a running 64-bit sum
    // per pixel, which costs two additions on a 32-bit build.
    uint32_t histogram[kLevels] = {};
    uint64_t lumaSum = 0;
    for (int level = 0; level < kLevels; ++level) {
        for (const auto& strip : counted) {
            histogram[level] += strip[static_cast<size_t>(level)];
        }
        lumaSum += static_cast<uint64_t>(histogram[level]) * static_cast<uint64_t>(level);
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

    StretchTable stretch;
    for (int32_t luma = 0; luma < kLevels; ++luma) {
        const int32_t stretched = ((scale * luma - base) >> kScaleShift) + offset;
        const int32_t pulled = std::min(std::max(stretched, -kMargin), kMaxLevel + kMargin);
        stretch.index[luma] = pulled + kClampBias;
    }
    runner.Run(strips, [&](size_t index, size_t) {
        StretchRows(pixels, StripTop(pixels, strips, index), StripTop(pixels, strips, index + 1), stretch);
    });
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
    CEffectWorkspace callerOnly;
    return SharpenPixels(pixels, amount, radius, callerOnly);
}

bool SharpenPixels(const PixelView& pixels, float amount, float radius, CEffectWorkspace& workspace)
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
    uint8_t* copy = workspace.Scratch(static_cast<size_t>(bytes));
    if (copy == nullptr) {
        return false;
    }
    // Each blurred part of a row arrives once the pixels above and at it are
    // no longer read by the blur, so it is applied at once.
    const PixelView scratch{copy, pixels.width, pixels.height, static_cast<ptrdiff_t>(pixels.RowBytes())};
    return BlurPixelsInStrips(pixels, scratch, radius, workspace.Runner(),
                              [&](uint32_t y, size_t offset, size_t count, const uint8_t* blurred) {
                                  UnsharpRow(pixels.Row(y) + offset, blurred, count, k);
                              });
}
