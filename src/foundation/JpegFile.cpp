#include "foundation/JpegFile.h"

#include <cwchar>
#include <vector>

bool SaveImageAsJpeg(Gdiplus::Image* image, const wchar_t* path)
{
    if (image == nullptr || path == nullptr) {
        return false;
    }
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) {
        return false;
    }
    std::vector<unsigned char> block(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType != nullptr && std::wcscmp(encoders[i].MimeType, L"image/jpeg") == 0) {
            // Callers take true to mean that the file holds the image, so a
            // failed save is reported.
            return image->Save(path, &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}
