#include "chart/ToothSprite.h"

#include "ui/GdiHandles.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Room around the box for the half of the pen's width that lies outside it,
// and inside it.
constexpr int64_t PEN_MARGIN = 2;
// Along a side, the outline repeats with the pen's dash period from this far
// past either corner on, where the corners' joins no longer reach.
constexpr int64_t CORNER_REACH = 12;
// The chart's drawing is made in bands of at most this many pixels, so that
// even one as large as the chart needs little memory at a time.
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
    Extent Grown(int64_t by) const { return {left - by, top - by, right + by, bottom + by}; }
    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
};

// A small drawing of GDI+ over black and over white, pixel by pixel over
// `area`, in the coordinates it was drawn in.
struct Stamp {
    Extent area{};
    std::vector<uint32_t> overBlack;
    std::vector<uint32_t> overWhite;

    // Rows that hold a pixel the drawing touched.
    std::vector<bool> rowTouched;

    // Where row `y` starts among the pixels; -1 when it lies outside or
    // holds nothing drawn.
    int64_t RowStart(int64_t y) const
    {
        if (y < area.top || y >= area.bottom || !rowTouched[static_cast<size_t>(y - area.top)]) {
            return -1;
        }
        return (y - area.top) * area.Width();
    }
    // Lays the stamp's pixel at (x, y) of the row starting at `rowStart`
    // over the two planes' pixels; one it left untouched changes nothing.
    void LayOver(int64_t rowStart, int64_t x, uint32_t* black, uint32_t* white) const
    {
        if (x < area.left || x >= area.right) {
            return;
        }
        const auto i = static_cast<size_t>(rowStart + (x - area.left));
        const uint32_t overBlackHere = overBlack[i];
        const uint32_t overWhiteHere = overWhite[i];
        if (overBlackHere == overWhiteHere) {
            // Opaque: nothing shows through.
            *black = overBlackHere;
            *white = overBlackHere;
        } else if (overBlackHere != BLACK || overWhiteHere != WHITE) {
            *black = Over(overBlackHere, overWhiteHere, *black);
            *white = Over(overBlackHere, overWhiteHere, *white);
        }
    }
};

// What `draw` draws with a GDI+ graphics object into `area`, over black and
// over white. False when it could not be drawn.
template <typename Draw> bool MakeStamp(HDC dc, const Extent& area, Draw draw, Stamp* stamp)
{
    const auto width = static_cast<int32_t>(area.Width());
    const auto height = static_cast<int32_t>(area.Height());
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
    stamp->area = area;
    const int backgrounds[2] = {BLACK_BRUSH, WHITE_BRUSH};
    std::vector<uint32_t>* planes[2] = {&stamp->overBlack, &stamp->overWhite};
    for (int i = 0; i < 2; ++i) {
        planes[i]->assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        {
            ObjectSelection selected(dc, canvas.Get());
            const RECT whole = {0, 0, width, height};
            FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(backgrounds[i])));
            Gdiplus::Graphics graphics(dc);
            graphics.TranslateTransform(-static_cast<Gdiplus::REAL>(area.left), -static_cast<Gdiplus::REAL>(area.top));
            draw(graphics);
        }
        if (GetDIBits(dc, canvas.Get(), 0, static_cast<UINT>(height), planes[i]->data(), &info, DIB_RGB_COLORS) !=
            height) {
            return false;
        }
        for (uint32_t& pixel : *planes[i]) {
            pixel &= COLOUR_BITS;
        }
    }
    stamp->rowTouched.assign(static_cast<size_t>(height), false);
    for (size_t i = 0; i < stamp->overBlack.size(); ++i) {
        if (stamp->overBlack[i] != BLACK || stamp->overWhite[i] != WHITE) {
            stamp->rowTouched[i / static_cast<size_t>(width)] = true;
        }
    }
    return true;
}

// The stamp of `key` from `stamps`, made first by `draw` over the extent
// `area` gives when there is none yet; null when it cannot be made.
template <typename Key, typename Area, typename Draw>
const Stamp* StampOf(HDC dc, std::map<Key, Stamp>& stamps, const Key& key, Area area, Draw draw)
{
    auto found = stamps.find(key);
    if (found == stamps.end()) {
        Stamp stamp;
        if (!MakeStamp(dc, area(), draw, &stamp)) {
            return nullptr;
        }
        found = stamps.emplace(key, std::move(stamp)).first;
    }
    return &found->second;
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

// A side's length in the small outline that GDI+ draws for it: the same
// where the side is short, else as short as keeps both corners and a whole
// dash period between them, and the same length in whole periods.
int64_t StandInLength(int64_t length, int64_t period)
{
    const int64_t shortest = 2 * CORNER_REACH + period;
    const int64_t size = length < 0 ? -length : length;
    if (size < shortest) {
        return length;
    }
    const int64_t standIn = shortest + (size - shortest) % period;
    return length < 0 ? -standIn : standIn;
}

// Maps a coordinate along one side of an outline to the same place of its
// stand-in: near either corner as far from it, between them at the same
// place in the dash period.
struct SideMap {
    int64_t low;
    int64_t high;
    int64_t standInLow;
    int64_t standInHigh;
    int64_t period;
    bool exact;

    // Hands `lay` the stand-in's coordinate of each of `from` to `to` in
    // turn.
    template <typename Lay> void Walk(int64_t from, int64_t to, Lay lay) const
    {
        const int64_t nearEnd = exact ? to : std::clamp(low + CORNER_REACH, from, to);
        const int64_t farStart = exact ? to : std::clamp(high - CORNER_REACH, nearEnd, to);
        for (int64_t at = from; at < nearEnd; ++at) {
            lay(at - low + standInLow);
        }
        if (nearEnd < farStart) {
            const int64_t middle = standInLow + CORNER_REACH;
            int64_t phase = (nearEnd - low - CORNER_REACH) % period;
            for (int64_t at = nearEnd; at < farStart; ++at) {
                lay(middle + phase);
                phase = phase + 1 == period ? 0 : phase + 1;
            }
        }
        for (int64_t at = farStart; at < to; ++at) {
            lay(at - high + standInHigh);
        }
    }
};

SideMap MapOf(int64_t from, int64_t to, int64_t standInLength, int64_t period)
{
    const int64_t low = std::min(from, to);
    const int64_t high = std::max(from, to);
    const int64_t standInLow = std::min<int64_t>(0, standInLength);
    const int64_t standInHigh = std::max<int64_t>(0, standInLength);
    return {low, high, standInLow, standInHigh, period, high - low == standInHigh - standInLow};
}

// Where one shape draws, in chart coordinates, with the stamps it is made of.
struct Placed {
    Extent whole;
    const Stamp* outline;
    const Stamp* label;

    Extent Box() const
    {
        return {std::min(whole.left, whole.right), std::min(whole.top, whole.bottom), std::max(whole.left, whole.right),
                std::max(whole.top, whole.bottom)};
    }
    Extent LabelArea() const
    {
        return {whole.left, whole.top, whole.left + label->area.right, whole.top + label->area.bottom};
    }
};

// The band's planes, `band` in chart coordinates.
struct Planes {
    Extent band;
    std::vector<uint32_t> overBlack;
    std::vector<uint32_t> overWhite;

    size_t IndexOf(int64_t x, int64_t y) const
    {
        return static_cast<size_t>((y - band.top) * band.Width() + (x - band.left));
    }
};

// Lays the outline of `shape` over the planes where it meets `within`: only
// along the ring that its pen can reach, each pixel taken from the stand-in.
void LayOutline(const Placed& shape, int64_t period, const Extent& within, Planes* planes)
{
    const Extent box = shape.Box();
    const Extent outer = box.Grown(PEN_MARGIN);
    const Extent inner = box.Grown(-PEN_MARGIN);
    const SideMap across =
        MapOf(shape.whole.left, shape.whole.right, StandInLength(shape.whole.right - shape.whole.left, period), period);
    const SideMap down =
        MapOf(shape.whole.top, shape.whole.bottom, StandInLength(shape.whole.bottom - shape.whole.top, period), period);
    const auto lay = [&](const Extent& area) {
        const Extent part = area.Cut(within);
        if (part.Empty()) {
            return;
        }
        int64_t y = part.top;
        down.Walk(part.top, part.bottom, [&](int64_t standInY) {
            const int64_t rowStart = shape.outline->RowStart(standInY);
            if (rowStart >= 0) {
                const size_t first = planes->IndexOf(part.left, y);
                uint32_t* black = &planes->overBlack[first];
                uint32_t* white = &planes->overWhite[first];
                across.Walk(part.left, part.right,
                            [&](int64_t standInX) { shape.outline->LayOver(rowStart, standInX, black++, white++); });
            }
            ++y;
        });
    };
    if (inner.Empty()) {
        lay(outer);
        return;
    }
    // The top and bottom rows of the ring whole, its sides between them.
    lay({outer.left, outer.top, outer.right, inner.top});
    lay({outer.left, inner.bottom, outer.right, outer.bottom});
    lay({outer.left, inner.top, inner.left, inner.bottom});
    lay({inner.right, inner.top, outer.right, inner.bottom});
}

void LayLabel(const Placed& shape, const Extent& within, Planes* planes)
{
    const Extent part = shape.LabelArea().Cut(within);
    for (int64_t y = part.top; y < part.bottom; ++y) {
        const int64_t rowStart = shape.label->RowStart(y - shape.whole.top);
        if (rowStart < 0) {
            continue;
        }
        const size_t first = planes->IndexOf(part.left, y);
        uint32_t* black = &planes->overBlack[first];
        uint32_t* white = &planes->overWhite[first];
        for (int64_t x = part.left; x < part.right; ++x, ++black, ++white) {
            shape.label->LayOver(rowStart, x - shape.whole.left, black, white);
        }
    }
}

} // namespace

bool CToothSprite::Render(const RECT& box, const RECT& clip, const std::wstring& label, const Gdiplus::Pen* pen,
                          const Gdiplus::Font* font, const Gdiplus::Brush* brush)
{
    return Render({ToothShape{box, label}}, clip, pen, font, brush);
}

bool CToothSprite::Render(const std::vector<ToothShape>& shapes, const RECT& clip, const Gdiplus::Pen* pen,
                          const Gdiplus::Font* font, const Gdiplus::Brush* brush)
{
    bands.clear();
    UniqueMemoryDC dc = UniqueMemoryDC::CompatibleWith(nullptr);
    if (!dc) {
        return false;
    }
    const Extent visible = {clip.left, clip.top, clip.right, clip.bottom};
    const int64_t period = pen != nullptr ? DashPeriod(*pen) : 1;
    // GDI+ draws each outline of a stand-in size and each label once: a
    // reply of any size and any number of boxes costs no more GDI+ work than
    // its distinct short sides and numbers, and the rest is copying pixels.
    std::map<std::pair<int64_t, int64_t>, Stamp> outlines;
    std::map<std::wstring, Stamp> labels;
    std::vector<Placed> placed;
    Extent area{};
    for (const ToothShape& shape : shapes) {
        Placed one{{shape.box.left, shape.box.top, shape.box.right, shape.box.bottom}, nullptr, nullptr};
        const Extent outer = one.Box().Grown(PEN_MARGIN);
        if (pen != nullptr && !outer.Cut(visible).Empty()) {
            const std::pair<int64_t, int64_t> size = {StandInLength(one.whole.Width(), period),
                                                      StandInLength(one.whole.Height(), period)};
            one.outline = StampOf(
                dc.Get(), outlines, size,
                [&] {
                    return Extent{std::min<int64_t>(0, size.first), std::min<int64_t>(0, size.second),
                                  std::max<int64_t>(0, size.first), std::max<int64_t>(0, size.second)}
                        .Grown(PEN_MARGIN);
                },
                [&](Gdiplus::Graphics& graphics) {
                    graphics.DrawRectangle(
                        pen, Gdiplus::Rect(0, 0, static_cast<INT>(size.first), static_cast<INT>(size.second)));
                });
            if (one.outline == nullptr) {
                return false;
            }
            area = area.Empty() ? outer.Cut(visible) : area.Join(outer.Cut(visible));
        }
        if (font != nullptr && brush != nullptr && !shape.label.empty()) {
            one.label = StampOf(
                dc.Get(), labels, shape.label,
                [&] {
                    const SIZE size = LabelSize(dc.Get(), shape.label, font);
                    return Extent{0, 0, size.cx, size.cy};
                },
                [&](Gdiplus::Graphics& graphics) {
                    graphics.DrawString(shape.label.c_str(), static_cast<INT>(shape.label.size()), font,
                                        Gdiplus::PointF(0.0f, 0.0f), brush);
                });
            if (one.label == nullptr) {
                return false;
            }
            // A label outside the chart is left out.
            const Extent seen = one.LabelArea().Cut(visible);
            if (seen.Empty()) {
                one.label = nullptr;
            } else {
                area = area.Empty() ? seen : area.Join(seen);
            }
        }
        if (one.outline != nullptr || one.label != nullptr) {
            placed.push_back(one);
        }
    }
    if (area.Empty()) {
        return true;
    }

    const int64_t width = area.Width();
    const int64_t bandRows = std::clamp<int64_t>(BAND_PIXELS / width, 1, area.Height());
    Planes planes;
    for (int64_t bandTop = area.top; bandTop < area.bottom; bandTop += bandRows) {
        planes.band = {area.left, bandTop, area.right, std::min(area.bottom, bandTop + bandRows)};
        const size_t count = static_cast<size_t>(width * planes.band.Height());
        planes.overBlack.assign(count, BLACK);
        planes.overWhite.assign(count, WHITE);
        for (const Placed& one : placed) {
            if (one.outline != nullptr) {
                LayOutline(one, period, planes.band, &planes);
            }
            if (one.label != nullptr) {
                LayLabel(one, planes.band, &planes);
            }
        }
        // Counted first, so that each band's pixels take no more memory than
        // they need, and no copy of all of them is ever made.
        const auto kept = [&](size_t i) {
            const int64_t x = area.left + static_cast<int64_t>(i) % width;
            const int64_t y = bandTop + static_cast<int64_t>(i) / width;
            return (planes.overBlack[i] != BLACK || planes.overWhite[i] != WHITE) && x >= 0 && y >= 0 &&
                   x <= UINT16_MAX && y <= UINT16_MAX;
        };
        size_t touched = 0;
        for (size_t i = 0; i < count; ++i) {
            touched += kept(i) ? 1 : 0;
        }
        if (touched == 0) {
            continue;
        }
        std::vector<Pixel>& band = bands.emplace_back();
        band.reserve(touched);
        for (size_t i = 0; i < count; ++i) {
            if (kept(i)) {
                band.push_back({static_cast<uint16_t>(area.left + static_cast<int64_t>(i) % width),
                                static_cast<uint16_t>(bandTop + static_cast<int64_t>(i) / width), planes.overBlack[i],
                                planes.overWhite[i]});
            }
        }
    }
    return true;
}

void CToothSprite::DrawOver(uint32_t* buffer, int32_t width, int32_t height) const
{
    for (const std::vector<Pixel>& band : bands) {
        for (const Pixel& pixel : band) {
            if (pixel.x >= width || pixel.y >= height) {
                continue;
            }
            uint32_t& target = buffer[static_cast<size_t>(pixel.y) * static_cast<size_t>(width) + pixel.x];
            target = Over(pixel.overBlack, pixel.overWhite, target);
        }
    }
}
