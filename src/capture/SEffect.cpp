#include "capture/SEffect.h"

#include "capture/EffectKernels.h"

namespace {

constexpr UINT kLockedBytesPerPixel = 3;

} // namespace

CSEffect::~CSEffect() { Detach(); }

bool CSEffect::Attach(Gdiplus::Bitmap* newBitmap)
{
    if (newBitmap == nullptr) {
        return false;
    }
    Detach();
    bitmap = newBitmap;
    width = bitmap->GetWidth();
    height = bitmap->GetHeight();
    bytesPerPixel = 0;
    locked = false;
    return true;
}

bool CSEffect::LockBits()
{
    if (bitmap == nullptr) {
        return false;
    }
    if (locked) {
        return true;
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB,
                         &lockedData) != Gdiplus::Ok) {
        return false;
    }
    bytesPerPixel = kLockedBytesPerPixel;
    locked = true;
    return true;
}

PixelView CSEffect::LockedPixels() const
{
    return {static_cast<uint8_t*>(lockedData.Scan0), lockedData.Width, lockedData.Height, lockedData.Stride};
}

bool CSEffect::AutoLevel(double lowFraction, double highClipFraction)
{
    return locked && AutoLevelPixels(LockedPixels(), lowFraction, highClipFraction);
}

bool CSEffect::Sharpen(float amount, float radius)
{
    return locked && SharpenPixels(LockedPixels(), amount, radius);
}

void CSEffect::UnlockBits()
{
    if (locked && bitmap->UnlockBits(&lockedData) == Gdiplus::Ok) {
        locked = false;
    }
}

void CSEffect::Detach()
{
    if (locked) {
        bitmap->UnlockBits(&lockedData);
    }
    bitmap = nullptr;
    width = 0;
    height = 0;
    bytesPerPixel = 0;
    locked = false;
}

CEffectBitmap::CEffectBitmap(Gdiplus::Bitmap* decoded)
{
    if (decoded == nullptr || decoded->GetLastStatus() != Gdiplus::Ok) {
        return;
    }
    if (decoded->GetPixelFormat() == PixelFormat24bppRGB) {
        bitmap = decoded;
        return;
    }
    copy = Copy24BitRgb(decoded);
    bitmap = copy.get();
}

std::unique_ptr<Gdiplus::Bitmap> Copy24BitRgb(Gdiplus::Bitmap* decoded)
{
    if (decoded == nullptr || decoded->GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Bitmap> copy(decoded->Clone(0, 0, static_cast<INT>(decoded->GetWidth()),
                                                         static_cast<INT>(decoded->GetHeight()), PixelFormat24bppRGB));
    // The encoder writes the resolution back, and a copy starts at the
    // screen's.
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok ||
        copy->SetResolution(decoded->GetHorizontalResolution(), decoded->GetVerticalResolution()) != Gdiplus::Ok) {
        return nullptr;
    }
    return copy;
}
