// The synthetic panoramic picture as a 24-bit GDI+ bitmap, for benchmarks and
// tests that need it as an image file.
#pragma once

#include "PanoramicImage.h"
#include "ui/Gdiplus.h"

#include <cstring>
#include <memory>

inline std::unique_ptr<Gdiplus::Bitmap> ToBitmap(const PanoramicImage& image)
{
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(image.width), static_cast<INT>(image.height),
                                                    PixelFormat24bppRGB);
    Gdiplus::Rect whole(0, 0, static_cast<INT>(image.width), static_cast<INT>(image.height));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &data) == Gdiplus::Ok) {
        for (uint32_t y = 0; y < image.height; ++y) {
            std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                        &image.bytes[size_t{y} * image.width * 3], size_t{image.width} * 3);
        }
        bitmap->UnlockBits(&data);
    }
    return bitmap;
}
