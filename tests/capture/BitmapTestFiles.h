// GDI+ bitmaps and image files made by the tests themselves.
#pragma once

#include "PixelTestImage.h"
#include "WinTestUtil.h"

#include "ui/Gdiplus.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace testimage {

inline std::unique_ptr<Gdiplus::Bitmap> MakeBitmap(TestImage& image)
{
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(image.width), static_cast<INT>(image.height),
                                                    PixelFormat24bppRGB);
    Gdiplus::Rect whole(0, 0, static_cast<INT>(image.width), static_cast<INT>(image.height));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &data) == Gdiplus::Ok) {
        for (uint32_t y = 0; y < image.height; ++y) {
            std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride, image.At(0, y),
                        image.width * 3);
        }
        bitmap->UnlockBits(&data);
    }
    return bitmap;
}

// The bitmap's pixels as 24-bit bytes; an empty image when they cannot be read.
inline TestImage ReadPixels(Gdiplus::Bitmap& bitmap)
{
    TestImage image(bitmap.GetWidth(), bitmap.GetHeight());
    Gdiplus::Rect whole(0, 0, static_cast<INT>(image.width), static_cast<INT>(image.height));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) != Gdiplus::Ok) {
        return TestImage(0, 0);
    }
    for (uint32_t y = 0; y < image.height; ++y) {
        std::memcpy(image.At(0, y), static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    image.width * 3);
    }
    bitmap.UnlockBits(&data);
    return image;
}

inline bool SaveAs(Gdiplus::Bitmap& bitmap, const std::wstring& path, const wchar_t* mimeType)
{
    return testutil::SaveBitmapAs(bitmap, path, mimeType);
}

// Writes a structured picture of the given size as a JPEG or PNG file.
inline bool WriteImageFile(const std::wstring& path, const wchar_t* mimeType, uint32_t width, uint32_t height)
{
    TestImage image = MakeStructuredImage(width, height);
    auto bitmap = MakeBitmap(image);
    return SaveAs(*bitmap, path, mimeType);
}

inline bool IsJpegData(const std::string& bytes)
{
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

} // namespace testimage
