// The chart's painting: the back buffer, the stretched picture and the tooth boxes.
#include "chart/ToothStatic.h"

#include "chart/AreaShrink.h"
#include "chart/ToothLabel.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr WORD BACK_BUFFER_BITS = 32;

} // namespace

BOOL CToothStatic::OnEraseBkgnd()
{
    RECT client{};
    GetClientRect(hwnd, &client);
    CoverWithBackBuffer(client);
    DrawBackground(client);
    return TRUE;
}

void CToothStatic::OnPaint()
{
    PaintDC paint(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    if (CoverWithBackBuffer(client)) {
        // A new back buffer holds nothing yet.
        DrawBackground(client);
    }
    if (!memoryDC || !backBuffer) {
        return;
    }
    DrawToothBoxes();
    ObjectSelection selected(memoryDC.Get(), backBuffer.Get());
    BitBlt(paint.Get(), client.left, client.top, client.right - client.left, client.bottom - client.top, memoryDC.Get(),
           client.left, client.top, SRCCOPY);
}

bool CToothStatic::CoverWithBackBuffer(const RECT& client)
{
    if (!memoryDC || (client.right <= backBufferSize.cx && client.bottom <= backBufferSize.cy)) {
        return false;
    }
    return MakeBackBuffer({std::max(backBufferSize.cx, client.right), std::max(backBufferSize.cy, client.bottom)});
}

bool CToothStatic::MakeBackBuffer(SIZE size)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = BACK_BUFFER_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap buffer(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!buffer) {
        return false;
    }
    backBuffer = std::move(buffer);
    backBufferPixels = static_cast<uint32_t*>(bits);
    backBufferSize = size;
    return true;
}

void CToothStatic::DrawBackground(const RECT& client)
{
    if (!memoryDC || !backBuffer) {
        return;
    }
    ObjectSelection selected(memoryDC.Get(), backBuffer.Get());
    if (!image) {
        const Gdiplus::Color colour(backgroundColor);
        UniqueGdiObject<HBRUSH> brush(CreateSolidBrush(RGB(colour.GetR(), colour.GetG(), colour.GetB())));
        FillRect(memoryDC.Get(), &client, brush.Get());
        // The boxes are laid over the same memory next.
        GdiFlush();
        return;
    }
    if (!EqualRect(&client, &lastClientRect)) {
        // The tips' rectangles follow the boxes to the chart's new size.
        RemoveToothTips();
        UpdateLayout(&client);
        AddToothTips();
    }
    Gdiplus::Image* source = showSharpened && sharpenedImage ? sharpenedImage.get() : image.get();
    HBITMAP picture = StretchedImage(source);
    if (picture == nullptr) {
        return;
    }
    UniqueMemoryDC pictureDC = UniqueMemoryDC::CompatibleWith(memoryDC.Get());
    ObjectSelection pictureSelected(pictureDC.Get(), picture);
    BitBlt(memoryDC.Get(), drawLeft, drawTop, drawWidth, drawHeight, pictureDC.Get(), 0, 0, SRCCOPY);
    GdiFlush();
}

namespace {

// The picture resized into a new 32-bit bitmap of `width` x `height`: a new
// picture's first frame would otherwise wait for GDI+ to resample it, which
// takes a good part of a second for a panoramic picture or a small capture.
// Null when the picture cannot be read or resized so; GDI+ stretches it then.
UniqueBitmap ResizedPicture(Gdiplus::Image* source, int32_t width, int32_t height)
{
    auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(source);
    if (bitmap == nullptr) {
        return {};
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap->GetWidth()), static_cast<INT>(bitmap->GetHeight()));
    Gdiplus::BitmapData pixels{};
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &pixels) != Gdiplus::Ok) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap resized(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const bool done = resized && ResizePicture(static_cast<const uint8_t*>(pixels.Scan0), whole.Width, whole.Height,
                                               pixels.Stride, static_cast<uint32_t*>(bits), width, height);
    bitmap->UnlockBits(&pixels);
    return done ? std::move(resized) : UniqueBitmap();
}

} // namespace

HBITMAP CToothStatic::StretchedImage(Gdiplus::Image* source)
{
    if (stretched && stretchedSource == source && stretchedSize.cx == drawWidth && stretchedSize.cy == drawHeight) {
        return stretched.Get();
    }
    ForgetStretchedImage();
    if (drawWidth <= 0 || drawHeight <= 0) {
        return nullptr;
    }
    // Stretching the whole image on every erase costs far more than a frame;
    // the stretched copy is drawn 1:1 instead.
    UniqueBitmap picture = ResizedPicture(source, drawWidth, drawHeight);
    if (!picture) {
        picture.Reset(CreateCompatibleBitmap(ClientDC(hwnd).Get(), drawWidth, drawHeight));
        if (!picture) {
            return nullptr;
        }
        UniqueMemoryDC pictureDC = UniqueMemoryDC::CompatibleWith(memoryDC.Get());
        ObjectSelection selected(pictureDC.Get(), picture.Get());
        Gdiplus::Graphics graphics(pictureDC.Get());
        graphics.DrawImage(source, Gdiplus::Rect(0, 0, drawWidth, drawHeight));
    }
    stretched = std::move(picture);
    stretchedSource = source;
    stretchedSize = {drawWidth, drawHeight};
    return stretched.Get();
}

void CToothStatic::ForgetStretchedImage()
{
    stretched.Reset();
    stretchedSource = nullptr;
    stretchedSize = SIZE{};
}

void CToothStatic::DrawToothBoxes()
{
    if (backBufferPixels == nullptr) {
        return;
    }
    const RECT clip = DrawingClip();
    std::vector<ToothShape> shown;
    const CToothInfo* hovered = nullptr;
    for (const auto& entry : displayedTeeth) {
        const CToothInfo& tooth = entry.second;
        if ((tooth.findingMask & displayFilter) == 0) {
            continue;
        }
        shown.push_back({tooth.screenBox, ToothLabel(tooth.toothNumber)});
        if ((tooth.flags & TOOTH_HOVER) != 0) {
            hovered = &tooth;
        }
    }
    SpriteOf(plainSprite, std::move(shown), clip, boxPen.get(), numberFont.get(), numberBrush.get())
        .DrawOver(backBufferPixels, backBufferSize.cx, backBufferSize.cy);
    // Last, so that it lies over any box it overlaps.
    if (hovered != nullptr) {
        SpriteOf(hoverSprite, {{hovered->screenBox, ToothLabel(hovered->toothNumber)}}, clip, hoverPen.get(),
                 numberFont.get(), hoverBrush.get())
            .DrawOver(backBufferPixels, backBufferSize.cx, backBufferSize.cy);
    }
}

RECT CToothStatic::DrawingClip() const
{
    RECT client{};
    GetClientRect(hwnd, &client);
    const RECT buffer = {0, 0, backBufferSize.cx, backBufferSize.cy};
    RECT clip{};
    IntersectRect(&clip, &client, &buffer);
    return clip;
}

const CToothSprite& CToothStatic::SpriteOf(CachedSprite& cached, std::vector<ToothShape> shapes, const RECT& clip,
                                           const Gdiplus::Pen* pen, const Gdiplus::Font* font,
                                           const Gdiplus::Brush* brush)
{
    if (!cached.rendered || cached.shapes != shapes || !EqualRect(&cached.clip, &clip)) {
        cached.shapes = std::move(shapes);
        cached.clip = clip;
        cached.rendered = true;
        cached.sprite.Render(cached.shapes, clip, pen, font, brush);
    }
    return cached.sprite;
}

void CToothStatic::ForgetSprites()
{
    plainSprite = CachedSprite();
    hoverSprite = CachedSprite();
}
