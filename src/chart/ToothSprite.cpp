#include "chart/ToothSprite.h"

#include "ui/GdiHandles.h"

#include <algorithm>
#include <cmath>

namespace {

// Room around the box for the half of the pen's width that lies outside it.
constexpr int32_t PEN_MARGIN = 2;
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

// The drawing's extent: the box with the pen's outer half, and the label,
// which may reach past a small box.
RECT DrawingArea(HDC dc, const RECT& box, const std::wstring& label, const Gdiplus::Font* font)
{
    RECT area = {box.left - PEN_MARGIN, box.top - PEN_MARGIN, box.right + PEN_MARGIN, box.bottom + PEN_MARGIN};
    if (font != nullptr && !label.empty()) {
        Gdiplus::Graphics graphics(dc);
        const Gdiplus::PointF origin(static_cast<Gdiplus::REAL>(box.left), static_cast<Gdiplus::REAL>(box.top));
        Gdiplus::RectF extent;
        graphics.MeasureString(label.c_str(), static_cast<INT>(label.size()), font, origin, &extent);
        area.right = std::max(area.right, static_cast<LONG>(std::ceil(extent.GetRight())) + 1);
        area.bottom = std::max(area.bottom, static_cast<LONG>(std::ceil(extent.GetBottom())) + 1);
    }
    return area;
}

} // namespace

bool CToothSprite::Render(const RECT& box, const std::wstring& label, const Gdiplus::Pen* pen,
                          const Gdiplus::Font* font, const Gdiplus::Brush* brush)
{
    pixels.clear();
    UniqueMemoryDC dc = UniqueMemoryDC::CompatibleWith(nullptr);
    if (!dc) {
        return false;
    }
    const bool withLabel = font != nullptr && brush != nullptr && !label.empty();
    const RECT area = DrawingArea(dc.Get(), box, label, withLabel ? font : nullptr);
    const int32_t width = area.right - area.left;
    const int32_t height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    // A bitmap of the screen's kind, as the chart's own back buffer was
    // meant to be: GDI+ under Wine draws text on it as it does on the screen.
    ClientDC screen(nullptr);
    UniqueBitmap canvas(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!canvas) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = PIXEL_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint32_t> over[2];
    const int backgrounds[2] = {BLACK_BRUSH, WHITE_BRUSH};
    for (int i = 0; i < 2; ++i) {
        {
            ObjectSelection selected(dc.Get(), canvas.Get());
            const RECT whole = {0, 0, width, height};
            FillRect(dc.Get(), &whole, static_cast<HBRUSH>(GetStockObject(backgrounds[i])));
            Gdiplus::Graphics graphics(dc.Get());
            graphics.TranslateTransform(static_cast<Gdiplus::REAL>(-area.left), static_cast<Gdiplus::REAL>(-area.top));
            if (pen != nullptr) {
                graphics.DrawRectangle(pen,
                                       Gdiplus::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top));
            }
            if (withLabel) {
                const Gdiplus::PointF origin(static_cast<Gdiplus::REAL>(box.left), static_cast<Gdiplus::REAL>(box.top));
                graphics.DrawString(label.c_str(), static_cast<INT>(label.size()), font, origin, brush);
            }
        }
        over[i].resize(count);
        if (GetDIBits(dc.Get(), canvas.Get(), 0, static_cast<UINT>(height), over[i].data(), &info, DIB_RGB_COLORS) !=
            height) {
            return false;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        const uint32_t overBlack = over[0][i] & COLOUR_BITS;
        const uint32_t overWhite = over[1][i] & COLOUR_BITS;
        if (overBlack != BLACK || overWhite != WHITE) {
            pixels.push_back({area.left + static_cast<int32_t>(i % width), area.top + static_cast<int32_t>(i / width),
                              overBlack, overWhite});
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
