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
    decoded = CopyPropertiesFrom(bitmap);
    return decoded;
}

bool CBatchImage::CopyPropertiesFrom(Gdiplus::Bitmap& bitmap)
{
    propertyCount = bitmap.GetPropertyCount();
    if (propertyCount == 0) {
        return true;
    }
    UINT size = 0;
    UINT count = 0;
    if (bitmap.GetPropertySize(&size, &count) != Gdiplus::Ok || count != propertyCount) {
        propertyCount = 0;
        return false;
    }
    try {
        properties.resize(size);
    } catch (const std::bad_alloc&) {
        propertyCount = 0;
        return false;
    }
    if (bitmap.GetAllPropertyItems(size, count, reinterpret_cast<Gdiplus::PropertyItem*>(properties.data())) !=
        Gdiplus::Ok) {
        propertyCount = 0;
        return false;
    }
    return true;
}

bool CBatchImage::SaveAsJpeg(const std::wstring& folder, const std::wstring& target)
{
    Gdiplus::Bitmap inPlace(static_cast<INT>(width), static_cast<INT>(height), static_cast<INT>(stride),
                            PixelFormat24bppRGB, memory.get());
    if (inPlace.GetLastStatus() != Gdiplus::Ok || inPlace.SetResolution(horizontalDpi, verticalDpi) != Gdiplus::Ok) {
        return false;
    }
    const auto* items = reinterpret_cast<const Gdiplus::PropertyItem*>(properties.data());
    for (UINT i = 0; i < propertyCount; ++i) {
        if (inPlace.SetPropertyItem(&items[i]) != Gdiplus::Ok) {
            return false;
        }
    }
    return SaveJpegReplacing(&inPlace, folder, target);
}
