// Auto-level and unsharp mask, in place, on a GDI+ bitmap while its pixels
// are locked as 24-bit RGB. Every user runs Attach, LockBits, AutoLevel(0.1,
// 0.01), Sharpen(1.5, 20.0), UnlockBits, and uses the bitmap only after
// unlocking and only when every step succeeded. The object never owns the
// bitmap.
#pragma once

#include "capture/PixelView.h"
#include "ui/Gdiplus.h"

#include <memory>

class CSEffect {
public:
    CSEffect() = default;
    CSEffect(const CSEffect&) = delete;
    CSEffect& operator=(const CSEffect&) = delete;
    virtual ~CSEffect();

    bool Attach(Gdiplus::Bitmap* bitmap);
    bool LockBits();
    bool AutoLevel(double lowFraction, double highClipFraction);
    bool Sharpen(float amount, float radius);
    void UnlockBits();
    void Detach();

private:
    PixelView LockedPixels() const;

    Gdiplus::Bitmap* bitmap = nullptr;
    Gdiplus::BitmapData lockedData{};
    UINT width = 0;
    UINT height = 0;
    UINT bytesPerPixel = 0;
    bool locked = false;
};

// A 24-bit RGB bitmap of its own with the pixels and the resolution of
// `decoded`; null when nothing was decoded or no copy could be had.
std::unique_ptr<Gdiplus::Bitmap> Copy24BitRgb(Gdiplus::Bitmap* decoded);

// The bitmap the effects run on and the JPEG is written from: the decoded
// bitmap itself when it holds 24-bit RGB, else one 24-bit RGB copy of it.
// Locking another format as 24-bit RGB for writing converts every pixel back
// at the unlock (a grayscale JPEG through its palette, seconds for a
// panoramic picture); the copy is converted once and encoded as it is.
class CEffectBitmap {
public:
    explicit CEffectBitmap(Gdiplus::Bitmap* decoded);
    CEffectBitmap(const CEffectBitmap&) = delete;
    CEffectBitmap& operator=(const CEffectBitmap&) = delete;

    // Null when nothing was decoded or no copy could be made.
    Gdiplus::Bitmap* Get() const { return bitmap; }

private:
    std::unique_ptr<Gdiplus::Bitmap> copy;
    Gdiplus::Bitmap* bitmap = nullptr;
};
