#include "chart/ToothSprite.h"

#include "ui/GdiplusPtr.h"

#include <algorithm>
#include <cmath>

namespace {

// Room around the box for the half of the pen's width that lies outside it.
constexpr int32_t PEN_MARGIN = 2;
constexpr uint32_t FULL_COVERAGE = 255;

uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFF;
}

// The premultiplied colour over the buffer's pixel: source plus what the
// coverage leaves of the destination.
uint32_t Over(uint32_t source, uint32_t destination)
{
    const uint32_t rest = FULL_COVERAGE - (source >> 24);
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t blended =
            Channel(source, shift) + (Channel(destination, shift) * rest + FULL_COVERAGE / 2) / FULL_COVERAGE;
        result |= std::min(blended, FULL_COVERAGE) << shift;
    }
    return result;
}

} // namespace

bool CToothSprite::Render(const RECT& box, const std::wstring& label, const Gdiplus::Pen* pen,
                          const Gdiplus::Font* font, const Gdiplus::Brush* brush)
{
    pixels.clear();
    const Gdiplus::PointF origin(static_cast<Gdiplus::REAL>(box.left), static_cast<Gdiplus::REAL>(box.top));
    RECT area = {box.left - PEN_MARGIN, box.top - PEN_MARGIN, box.right + PEN_MARGIN, box.bottom + PEN_MARGIN};
    const bool withLabel = font != nullptr && brush != nullptr && !label.empty();
    if (withLabel) {
        // The label may reach past a small box.
        Gdiplus::Bitmap probe(1, 1, PixelFormat32bppPARGB);
        Gdiplus::Graphics measure(&probe);
        Gdiplus::RectF extent;
        measure.MeasureString(label.c_str(), static_cast<INT>(label.size()), font, origin, &extent);
        area.right = std::max(area.right, static_cast<LONG>(std::ceil(extent.GetRight())) + 1);
        area.bottom = std::max(area.bottom, static_cast<LONG>(std::ceil(extent.GetBottom())) + 1);
    }
    const INT width = area.right - area.left;
    const INT height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    GdiplusPtr<Gdiplus::Bitmap> canvas = MakeGdiplus<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    if (!canvas || canvas->GetLastStatus() != Gdiplus::Ok) {
        return false;
    }
    {
        Gdiplus::Graphics graphics(canvas.get());
        graphics.TranslateTransform(static_cast<Gdiplus::REAL>(-area.left), static_cast<Gdiplus::REAL>(-area.top));
        if (pen != nullptr) {
            graphics.DrawRectangle(pen, Gdiplus::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top));
        }
        if (withLabel) {
            graphics.DrawString(label.c_str(), static_cast<INT>(label.size()), font, origin, brush);
        }
    }
    Gdiplus::Rect whole(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (canvas->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) {
        return false;
    }
    for (INT y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) + y * data.Stride);
        for (INT x = 0; x < width; ++x) {
            if ((row[x] >> 24) != 0) {
                pixels.push_back({area.left + x, area.top + y, row[x]});
            }
        }
    }
    canvas->UnlockBits(&data);
    return true;
}

void CToothSprite::DrawOver(uint32_t* buffer, int32_t width, int32_t height) const
{
    for (const Pixel& pixel : pixels) {
        if (pixel.x < 0 || pixel.y < 0 || pixel.x >= width || pixel.y >= height) {
            continue;
        }
        uint32_t& target = buffer[static_cast<size_t>(pixel.y) * static_cast<size_t>(width) + pixel.x];
        target = Over(pixel.colour, target);
    }
}
