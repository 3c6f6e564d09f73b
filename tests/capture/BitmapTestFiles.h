// GDI+ bitmaps and image files made by the tests themselves.
#pragma once

#include "JpegChannels.h"
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

// The structured picture in formats that decode to other than 24-bit RGB: a
// grey JPEG of one component (an 8-bit palette bitmap once decoded), a CMYK
// JPEG of four (32-bit ARGB), and an 8-bit grey palette PNG.
enum class OtherFormat { GreyJpeg, CmykJpeg, PalettePng };

inline bool WriteImageFileAs(const std::wstring& path, OtherFormat format, uint32_t width, uint32_t height)
{
    TestImage image = MakeStructuredImage(width, height);
    const uint32_t channels = format == OtherFormat::CmykJpeg ? 4 : 1;
    std::vector<uint8_t> rows;
    rows.reserve(size_t{width} * height * channels);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* bgr = image.At(x, y);
            if (channels == 1) {
                rows.push_back(bgr[1]);
            } else {
                // Stored inverted, as Adobe's CMYK JPEGs are and as the
                // decoder reads them: no ink is 255.
                rows.insert(rows.end(), {bgr[2], bgr[1], bgr[0], 255});
            }
        }
    }
    if (format != OtherFormat::PalettePng) {
        return WriteJpegChannels(path, width, height, channels, rows);
    }
    Gdiplus::Bitmap bitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat8bppIndexed);
    std::vector<uint8_t> paletteBytes(sizeof(Gdiplus::ColorPalette) + 256 * sizeof(Gdiplus::ARGB));
    auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(paletteBytes.data());
    palette->Flags = Gdiplus::PaletteFlagsGrayScale;
    palette->Count = 256;
    for (int level = 0; level < 256; ++level) {
        palette->Entries[level] =
            Gdiplus::Color::MakeARGB(255, static_cast<BYTE>(level), static_cast<BYTE>(level), static_cast<BYTE>(level));
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (bitmap.SetPalette(palette) != Gdiplus::Ok ||
        bitmap.LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat8bppIndexed, &data) != Gdiplus::Ok) {
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    &rows[size_t{y} * width], width);
    }
    bitmap.UnlockBits(&data);
    return SaveAs(bitmap, path, L"image/png");
}

// A JPEG of GDI+'s whose frame header claims another size, its data unchanged.
inline std::string WithClaimedSize(std::string jpeg, uint16_t width, uint16_t height)
{
    // Marker, length and precision come before the height and the width.
    const size_t frame = jpeg.find("\xFF\xC0") + 5;
    jpeg[frame] = static_cast<char>(height >> 8);
    jpeg[frame + 1] = static_cast<char>(height & 0xFF);
    jpeg[frame + 2] = static_cast<char>(width >> 8);
    jpeg[frame + 3] = static_cast<char>(width & 0xFF);
    return jpeg;
}

// Frame headers whose sizes wrap 32 bits: 3 x 65500 x 21858 bytes of colour
// (either way round) and 4 x 65500 x 16394 of CMYK, over the data of a
// small file.
struct WrappingClaim {
    const wchar_t* name;
    bool cmyk;
    uint16_t width;
    uint16_t height;
};
constexpr WrappingClaim kWrappingClaims[] = {{L"wraps.jpg", false, 65500, 21858},
                                             {L"wraps swapped.jpg", false, 21858, 65500},
                                             {L"wraps cmyk.jpg", true, 65500, 16394}};

inline bool WriteWrappingClaim(const std::wstring& path, const WrappingClaim& claim)
{
    const testutil::ScratchFolder scratch;
    const std::wstring small = scratch.File(L"small.jpg");
    if (!(claim.cmyk ? WriteImageFileAs(small, OtherFormat::CmykJpeg, 300, 200)
                     : WriteImageFile(small, L"image/jpeg", 300, 200))) {
        return false;
    }
    testutil::WriteBytes(path, WithClaimedSize(testutil::ReadBytes(small), claim.width, claim.height));
    return true;
}

inline bool IsJpegData(const std::string& bytes)
{
    return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

} // namespace testimage
