#include "chart/ToothSprite.h"

#include "ui/GdiHandles.h"

#include <algorithm>
#include <cmath>

namespace {

// Room around the box for the half of the pen's width that lies outside it.
constexpr int32_t PEN_MARGIN = 2;
// How far past the clip a cut outline's corners lie, so that neither a
// corner's join nor a dash's end shows inside it.
constexpr int64_t CUT_REACH = 2 * PEN_MARGIN;
// The canvas is drawn in bands of at most this many pixels, so that even a
// drawing as large as the chart needs little memory at a time.
constexpr int64_t BAND_PIXELS = 128 * 1024;
constexpr uint32_t BLACK = 0x000000;
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t COLOUR_BITS = 0xFFFFFF;
constexpr uint32_t CHANNEL_MAX = 255;
constexpr WORD PIXEL_BITS = 32;

uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFF;
}

// What the drawing makes of `destination`: its colour over black plus the
// part of the destination that shows through.
uint32_t Over(const uint32_t overBlack, const uint32_t overWhite, uint32_t destination)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t base = Channel(overBlack, shift);
        const uint32_t through = Channel(overWhite, shift) - std::min(base, Channel(overWhite, shift));
        const uint32_t blended = base + (Channel(destination, shift) * through + CHANNEL_MAX / 2) / CHANNEL_MAX;
        result |= std::min(blended, CHANNEL_MAX) << shift;
    }
    return result;
}

// A rectangle in 64-bit coordinates: a box near the ends of the 32-bit range
// grows past them by its margins.
struct Extent {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;

    bool Empty() const { return left >= right || top >= bottom; }
    Extent Cut(const Extent& other) const
    {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
    Extent Join(const Extent& other) const
    {
        return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
                std::max(bottom, other.bottom)};
    }
};

Extent ExtentOf(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The size the label takes when drawn at a point.
SIZE LabelSize(HDC dc, const std::wstring& label, const Gdiplus::Font* font)
{
    Gdiplus::Graphics graphics(dc);
    Gdiplus::RectF extent;
    graphics.MeasureString(label.c_str(), static_cast<INT>(label.size()), font, Gdiplus::PointF(0.0f, 0.0f), &extent);
    return {static_cast<LONG>(std::ceil(extent.GetRight())) + 1, static_cast<LONG>(std::ceil(extent.GetBottom())) + 1};
}

// The length in pixels after which the pen's dashes repeat.
int64_t DashPeriod(const Gdiplus::Pen& pen)
{
    Gdiplus::REAL units = 1.0f;
    switch (pen.GetDashStyle()) {
    case Gdiplus::DashStyleDash:
        units = 4.0f; // 3 on, 1 off
        break;
    case Gdiplus::DashStyleDot:
        units = 2.0f;
        break;
    case Gdiplus::DashStyleDashDot:
        units = 6.0f;
        break;
    case Gdiplus::DashStyleDashDotDot:
        units = 8.0f;
        break;
    default:
        break;
    }
    return std::max<int64_t>(1, std::llround(units * pen.GetWidth()));
}

// `value` moved to within [low, high] by whole dash periods, so that the
// dashes that stay inside fall where they fell on the whole line.
int64_t ToWithin(int64_t value, int64_t low, int64_t high, int64_t period)
{
    if (value < low) {
        return low - (low - value) % period;
    }
    if (value > high) {
        return high + (value - high) % period;
    }
    return value;
}

} // namespace

bool CToothSprite::Render(const RECT& box, const RECT& clip, const std::wstring& label, const Gdiplus::Pen* pen,
                          const Gdiplus::Font* font, const Gdiplus::Brush* brush)
{
    pixels.clear();
    UniqueMemoryDC dc = UniqueMemoryDC::CompatibleWith(nullptr);
    if (!dc) {
        return false;
    }
    const Extent whole = ExtentOf(box);
    const Extent outline = {whole.left - PEN_MARGIN, whole.top - PEN_MARGIN, whole.right + PEN_MARGIN,
                            whole.bottom + PEN_MARGIN};
    const Extent visible = ExtentOf(clip);
    Extent drawn = outline;
    bool withLabel = font != nullptr && brush != nullptr && !label.empty();
    Extent labelArea{};
    if (withLabel) {
        const SIZE size = LabelSize(dc.Get(), label, font);
        labelArea = {whole.left, whole.top, whole.left + size.cx, whole.top + size.cy};
        drawn = drawn.Join(labelArea);
        // A label outside the chart is left out rather than laid out far away.
        withLabel = !labelArea.Cut(visible).Empty();
    }
    const Extent area = drawn.Cut(visible);
    if (area.Empty()) {
        return true;
    }

    // The outline with its far sides brought in to just outside the clip.
    const bool withOutline = pen != nullptr && !outline.Cut(visible).Empty();
    const int64_t period = pen != nullptr ? DashPeriod(*pen) : 1;
    const Extent bounds = {visible.left - CUT_REACH, visible.top - CUT_REACH, visible.right + CUT_REACH,
                           visible.bottom + CUT_REACH};
    const Extent cut = {ToWithin(whole.left, bounds.left, bounds.right, period),
                        ToWithin(whole.top, bounds.top, bounds.bottom, period),
                        ToWithin(whole.right, bounds.left, bounds.right, period),
                        ToWithin(whole.bottom, bounds.top, bounds.bottom, period)};

    const int32_t width = static_cast<int32_t>(area.right - area.left);
    const int32_t bandRows = static_cast<int32_t>(std::clamp<int64_t>(BAND_PIXELS / width, 1, area.bottom - area.top));
    // A bitmap of the screen's kind, as the chart's own back buffer was
    // meant to be: GDI+ under Wine draws text on it as it does on the screen.
    ClientDC screen(nullptr);
    UniqueBitmap canvas(CreateCompatibleBitmap(screen.Get(), width, bandRows));
    if (!canvas) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -bandRows;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = PIXEL_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(bandRows);
    std::vector<uint32_t> over[2] = {std::vector<uint32_t>(count), std::vector<uint32_t>(count)};
    const int backgrounds[2] = {BLACK_BRUSH, WHITE_BRUSH};
    for (int64_t bandTop = area.top; bandTop < area.bottom; bandTop += bandRows) {
        const auto originX = static_cast<Gdiplus::REAL>(area.left);
        const auto originY = static_cast<Gdiplus::REAL>(bandTop);
        for (int i = 0; i < 2; ++i) {
            {
                ObjectSelection selected(dc.Get(), canvas.Get());
                const RECT band = {0, 0, width, bandRows};
                FillRect(dc.Get(), &band, static_cast<HBRUSH>(GetStockObject(backgrounds[i])));
                Gdiplus::Graphics graphics(dc.Get());
                graphics.TranslateTransform(-originX, -originY);
                if (withOutline) {
                    graphics.DrawRectangle(pen, Gdiplus::Rect(static_cast<INT>(cut.left), static_cast<INT>(cut.top),
                                                              static_cast<INT>(cut.right - cut.left),
                                                              static_cast<INT>(cut.bottom - cut.top)));
                }
                if (withLabel) {
                    const Gdiplus::PointF origin(static_cast<Gdiplus::REAL>(labelArea.left),
                                                 static_cast<Gdiplus::REAL>(labelArea.top));
                    graphics.DrawString(label.c_str(), static_cast<INT>(label.size()), font, origin, brush);
                }
            }
            if (GetDIBits(dc.Get(), canvas.Get(), 0, static_cast<UINT>(bandRows), over[i].data(), &info,
                          DIB_RGB_COLORS) != bandRows) {
                pixels.clear();
                return false;
            }
        }
        const int64_t rows = std::min<int64_t>(bandRows, area.bottom - bandTop);
        const size_t used = static_cast<size_t>(width) * static_cast<size_t>(rows);
        for (size_t i = 0; i < used; ++i) {
            const uint32_t overBlack = over[0][i] & COLOUR_BITS;
            const uint32_t overWhite = over[1][i] & COLOUR_BITS;
            if (overBlack != BLACK || overWhite != WHITE) {
                pixels.push_back({static_cast<int32_t>(area.left) + static_cast<int32_t>(i % width),
                                  static_cast<int32_t>(bandTop) + static_cast<int32_t>(i / width), overBlack,
                                  overWhite});
            }
        }
    }
    return true;
}

void CToothSprite::DrawOver(uint32_t* buffer, int32_t width, int32_t height) const
{
    for (const Pixel& pixel : pixels) {
        if (pixel.x < 0 || pixel.y < 0 || pixel.x >= width || pixel.y >= height) {
            continue;
        }
        uint32_t& target = buffer[static_cast<size_t>(pixel.y) * static_cast<size_t>(width) + pixel.x];
        target = Over(pixel.overBlack, pixel.overWhite, target);
    }
}
