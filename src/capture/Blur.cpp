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
// one pixel column). The passes along the rows run the same way on bands of
// rows transposed into a buffer that stays in the cache.
#include "capture/Blur.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int kBoxes = 3;
constexpr size_t kTransposeBlock = 128;
// Image rows blurred along together; their transposed band stays in the cache.
constexpr uint32_t kBandRows = 64;
// Column strips start on cache lines, and are wide enough that the strip's
// own set-up costs little beside the bytes it blurs.
constexpr size_t kStripAlign = 64;
constexpr size_t kMinStripBytes = 256;
// More strips than threads, so that a thread the system holds back (the
// codec of other files runs beside the effects) does not hold back the step.
constexpr size_t kStripsPerThread = 4;

// Receives row `y` of what a column pass blurred (its width of bytes).
using BlurredRowSink = std::function<void(uint32_t y, const uint8_t* row)>;

struct BoxRadii {
    uint32_t radius[kBoxes];
};

BoxRadii SplitReach(float radius)
{
    uint32_t reach = 0;
    if (std::isfinite(radius) && radius > 0.0f) {
        reach = static_cast<uint32_t>(std::lround(std::min(radius, static_cast<float>(kMaxBlurReach))));
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

// Rows of bytes with their own stride.
struct ByteRows {
    uint8_t* first;
    ptrdiff_t stride;
    uint8_t* Row(uint32_t y) const { return first + static_cast<ptrdiff_t>(y) * stride; }
};

// The three box passes down every byte column, run as one pipeline over
// whole rows: each pass pulls the rows it needs from the one before through a
// small ring of rows, so the image is read once and written once and the
// rings stay in the cache. Each finished row goes to `sink`; the input rows
// are copied into the first ring before that, so the sink may write over
// the input row it is given the blur of.
template <typename Sum>
class ColumnBlur {
public:
    // (sum + width / 2) * multiplier >> kShift is the rounded quotient for
    // every sum of bytes over a box of the widths each sum type is used for
    // (up to 15 bytes with 16 bits, up to 255 with 32), without a division.
    static constexpr int kShift = sizeof(Sum) == 2 ? 16 : 24;
    using Wide = uint32_t;

    ColumnBlur(ByteRows in, uint32_t rows, size_t rowBytes, const BoxRadii& boxes, const BlurredRowSink& sink)
        : in(in), sink(sink), last(rows - 1), rowBytes(rowBytes), finished(TryAllocate<uint8_t>(rowBytes))
    {
        for (int k = 0; k < kBoxes; ++k) {
            const uint32_t width = 2 * boxes.radius[k] + 1;
            stage[k].radius = boxes.radius[k];
            stage[k].multiplier = static_cast<Sum>(((Wide{1} << kShift) + width - 1) / width);
            // The pass reads from its row y - radius to its row y + radius + 1.
            stage[k].ringRows = 2 * boxes.radius[k] + 2;
            stage[k].ring = TryAllocate<uint8_t>(stage[k].ringRows * rowBytes);
            stage[k].sum = TryAllocate<Sum>(rowBytes);
        }
    }

    bool Run()
    {
        if (!finished) {
            return false;
        }
        for (const Stage& s : stage) {
            if (!s.ring || !s.sum) {
                return false;
            }
        }
        for (uint32_t y = 0; y <= last; ++y) {
            ProduceRow(kBoxes - 1);
        }
        return true;
    }

private:
    struct Stage {
        uint32_t radius = 0;
        Sum multiplier = 0;
        uint32_t ringRows = 0;
        std::unique_ptr<uint8_t[]> ring;
        std::unique_ptr<Sum[]> sum;
        uint32_t filled = 0;
        uint32_t produced = 0;
    };

    // Row y of what stage k reads.
    uint8_t* InputRow(int k, uint32_t y) { return stage[k].ring.get() + (y % stage[k].ringRows) * rowBytes; }

    // Makes the rows up to `upto` (at most the last) readable by stage k.
    void Fill(int k, uint32_t upto)
    {
        upto = std::min(upto, last);
        while (stage[k].filled <= upto) {
            if (k == 0) {
                std::memcpy(InputRow(0, stage[0].filled), in.Row(stage[0].filled), rowBytes);
            } else {
                ProduceRow(k - 1);
            }
            ++stage[k].filled;
        }
    }

    void ProduceRow(int k)
    {
        Stage& s = stage[k];
        Sum* sum = s.sum.get();
        const uint32_t y = s.produced;
        const uint32_t r = s.radius;
        // A local count: a member would be reloaded after every byte stored.
        const size_t count = rowBytes;
        if (y == 0) {
            Fill(k, r);
            const uint8_t* first = InputRow(k, 0);
            for (size_t j = 0; j < count; ++j) {
                sum[j] = static_cast<Sum>((r + 1) * first[j]);
            }
            for (uint32_t i = 1; i <= r; ++i) {
                const uint8_t* row = InputRow(k, std::min(i, last));
                for (size_t j = 0; j < count; ++j) {
                    sum[j] += row[j];
                }
            }
        }
        uint8_t* target = k == kBoxes - 1 ? finished.get() : InputRow(k + 1, y);
        const Sum multiplier = s.multiplier;
        const Sum half = static_cast<Sum>(r);
        for (size_t j = 0; j < count; ++j) {
            const Wide rounded = static_cast<Sum>(sum[j] + half);
            target[j] = static_cast<uint8_t>((rounded * multiplier) >> kShift);
        }
        if (y < last) {
            Fill(k, y + r + 1);
            const uint8_t* added = InputRow(k, std::min(y + r + 1, last));
            const uint8_t* removed = InputRow(k, y > r ? y - r : 0);
            for (size_t j = 0; j < count; ++j) {
                sum[j] = static_cast<Sum>(sum[j] + added[j] - removed[j]);
            }
        }
        ++s.produced;
        if (k == kBoxes - 1) {
            sink(y, finished.get());
        }
    }

    ByteRows in;
    const BlurredRowSink& sink;
    uint32_t last;
    size_t rowBytes;
    std::unique_ptr<uint8_t[]> finished;
    Stage stage[kBoxes];
};

// Narrow boxes (the usual radius gives 15, 15 and 13 bytes) sum in 16 bits,
// twice as many bytes per vector instruction as with 32. A box of one byte
// needs the multiplier 65536, which 16 bits do not hold.
constexpr uint32_t kMinNarrowBoxRadius = 1;
constexpr uint32_t kMaxNarrowBoxRadius = 7;

bool BlurColumns(ByteRows in, uint32_t rows, size_t rowBytes, const BoxRadii& boxes, const BlurredRowSink& sink)
{
    const auto [narrowest, widest] = std::minmax_element(std::begin(boxes.radius), std::end(boxes.radius));
    if (*narrowest >= kMinNarrowBoxRadius && *widest <= kMaxNarrowBoxRadius) {
        return ColumnBlur<uint16_t>(in, rows, rowBytes, boxes, sink).Run();
    }
    return ColumnBlur<uint32_t>(in, rows, rowBytes, boxes, sink).Run();
}

// Pixel (x, y) of `source` becomes pixel (y, x) of `target`, in tiles that
// stay in the cache: each target row of a tile is written in one run. A pixel
// moves as four bytes, one load and one store, where the fourth byte is still
// in its own row: read from the next pixel of the source row, and written
// where the next pixel of the run lands at its turn. The last pixel of a
// source row and of a run move as three bytes.
void Transpose(const PixelView& source, const PixelView& target)
{
    for (uint32_t y0 = 0; y0 < source.height; y0 += kTransposeBlock) {
        const uint32_t y1 = std::min<uint32_t>(source.height, y0 + kTransposeBlock);
        for (uint32_t x0 = 0; x0 < source.width; x0 += kTransposeBlock) {
            const uint32_t x1 = std::min<uint32_t>(source.width, x0 + kTransposeBlock);
            for (uint32_t x = x0; x < x1; ++x) {
                uint8_t* to = target.Row(x) + static_cast<size_t>(y0) * 3;
                const uint8_t* from = source.Row(y0) + static_cast<size_t>(x) * 3;
                uint32_t y = y0;
                if (x + 1 < source.width) {
                    for (; y + 1 < y1; ++y, to += 3, from += source.stride) {
                        uint32_t pixel;
                        std::memcpy(&pixel, from, sizeof pixel);
                        std::memcpy(to, &pixel, sizeof pixel);
                    }
                }
                for (; y < y1; ++y, to += 3, from += source.stride) {
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                }
            }
        }
    }
}

// The row passes, band by band: a band of rows is transposed into a buffer
// that stays in the cache, its rows (the band's columns) blurred by the
// column passes, and transposed back into `target`. Bands are independent, so
// each thread takes whole bands, in a buffer of its own.
bool BlurRows(const PixelView& source, const PixelView& target, const BoxRadii& boxes, CStripRunner& runner)
{
    const size_t bandRowBytes = kBandRows * 3;
    std::vector<std::unique_ptr<uint8_t[]>> bands(runner.Threads());
    std::atomic<bool> failed{false};
    const uint32_t bandCount = (source.height + kBandRows - 1) / kBandRows;
    runner.Run(bandCount, [&](size_t index, size_t slot) {
        std::unique_ptr<uint8_t[]>& band = bands[slot];
        if (!band) {
            band = TryAllocate<uint8_t>(bandRowBytes * source.width);
        }
        if (!band) {
            failed = true;
            return;
        }
        const uint32_t top = static_cast<uint32_t>(index) * kBandRows;
        const uint32_t rows = std::min(kBandRows, source.height - top);
        const PixelView from{source.Row(top), source.width, rows, source.stride};
        const PixelView across{band.get(), rows, source.width, static_cast<ptrdiff_t>(bandRowBytes)};
        const PixelView to{target.Row(top), source.width, rows, target.stride};
        Transpose(from, across);
        const BlurredRowSink writeBack = [&](uint32_t y, const uint8_t* row) {
            std::memcpy(across.Row(y), row, across.RowBytes());
        };
        if (!BlurColumns({across.firstRow, across.stride}, across.height, across.RowBytes(), boxes, writeBack)) {
            failed = true;
            return;
        }
        Transpose(across, to);
    });
    return !failed;
}

// The column passes, in strips of byte columns side by side: each byte
// column is blurred on its own, so the strips are independent.
bool BlurColumnStrips(ByteRows in, uint32_t rows, size_t rowBytes, const BoxRadii& boxes, CStripRunner& runner,
                      const BlurredSpanSink& sink)
{
    const size_t wanted = runner.Threads() == 1 ? 1 : runner.Threads() * kStripsPerThread;
    const size_t strips = std::max<size_t>(1, std::min(wanted, rowBytes / kMinStripBytes));
    // Each boundary lies at least kMinStripBytes past the one before, so
    // rounding down to a cache line keeps every strip non-empty.
    const auto boundary = [&](size_t index) {
        return index == strips ? rowBytes : rowBytes / strips * index / kStripAlign * kStripAlign;
    };
    std::atomic<bool> failed{false};
    runner.Run(strips, [&](size_t index, size_t) {
        const size_t begin = boundary(index);
        const size_t count = boundary(index + 1) - begin;
        const BlurredRowSink part = [&](uint32_t y, const uint8_t* row) { sink(y, begin, count, row); };
        if (!BlurColumns({in.first + begin, in.stride}, rows, count, boxes, part)) {
            failed = true;
        }
    });
    return !failed;
}

} // namespace

bool BlurPixelsInStrips(const PixelView& source, const PixelView& scratch, float radius, CStripRunner& runner,
                        const BlurredSpanSink& sink)
{
    if (source.width == 0 || source.height == 0) {
        return true;
    }
    const BoxRadii boxes = SplitReach(radius);
    return BlurRows(source, scratch, boxes, runner) &&
           BlurColumnStrips({scratch.firstRow, scratch.stride}, source.height, source.RowBytes(), boxes, runner, sink);
}

bool BlurPixels(const PixelView& source, const PixelView& target, float radius)
{
    CStripRunner callerOnly;
    const BlurredSpanSink store = [&](uint32_t y, size_t offset, size_t count, const uint8_t* bytes) {
        std::memcpy(target.Row(y) + offset, bytes, count);
    };
    return BlurPixelsInStrips(source, target, radius, callerOnly, store);
}
