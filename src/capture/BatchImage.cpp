#include "capture/BatchImage.h"

#include "capture/BatchFiles.h"

#include <cstdint>
#include <new>

namespace {

// GDI+ takes rows that start on four-byte boundaries.
constexpr uint64_t kRowAlignment = 4;

} // namespace

bool CBatchImage::Reserve(uint32_t newWidth, uint32_t newHeight)
{
    const uint64_t rowBytes = (uint64_t{newWidth} * 3 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    const uint64_t bytes = rowBytes * newHeight;
    if (newWidth == 0 || newHeight == 0 || bytes > PTRDIFF_MAX) {
        return false;
    }
    if (bytes > capacity) {
        memory.reset();
        capacity = 0;
        memory.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
        if (!memory) {
            return false;
        }
        capacity = static_cast<size_t>(bytes);
    }
    width = newWidth;
    height = newHeight;
    stride = static_cast<ptrdiff_t>(rowBytes);
    return true;
}

bool CBatchImage::CopyFrom(Gdiplus::Bitmap& bitmap)
{
    decoded = false;
    // Another format would be converted on its way back into the bitmap,
    // which the encoder then sees; only the one-file route does that exactly.
    if (bitmap.GetLastStatus() != Gdiplus::Ok || bitmap.GetPixelFormat() != PixelFormat24bppRGB ||
        !Reserve(bitmap.GetWidth(), bitmap.GetHeight())) {
        return false;
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(stride);
    data.PixelFormat = PixelFormat24bppRGB;
    data.Scan0 = memory.get();
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat24bppRGB,
                        &data) != Gdiplus::Ok) {
        return false;
    }
    bitmap.UnlockBits(&data);
    horizontalDpi = bitmap.GetHorizontalResolution();
    verticalDpi = bitmap.GetVerticalResolution();
    decoded = true;
    return true;
}

bool CBatchImage::SaveAsJpeg(const std::wstring& folder, const std::wstring& target)
{
    Gdiplus::Bitmap inPlace(static_cast<INT>(width), static_cast<INT>(height), static_cast<INT>(stride),
                            PixelFormat24bppRGB, memory.get());
    return inPlace.GetLastStatus() == Gdiplus::Ok && inPlace.SetResolution(horizontalDpi, verticalDpi) == Gdiplus::Ok &&
           SaveJpegReplacing(&inPlace, folder, target);
}
