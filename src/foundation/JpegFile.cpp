#include "foundation/JpegFile.h"

#include "ui/ClipboardHandles.h"

#include <objbase.h>

#include <cwchar>
#include <memory>
#include <vector>

namespace {

struct ReleaseStream {
    void operator()(IStream* stream) const { stream->Release(); }
};

bool FindJpegEncoder(CLSID* clsid)
{
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
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

bool WriteAll(HANDLE file, const unsigned char* bytes, SIZE_T size)
{
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        if (!WriteFile(file, bytes, piece, &written, nullptr) || written == 0) {
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

} // namespace

bool SaveImageAsJpeg(Gdiplus::Image* image, const wchar_t* path)
{
    CLSID jpeg;
    // Callers take true to mean that the file holds the image, so a failed
    // save is reported.
    return image != nullptr && path != nullptr && FindJpegEncoder(&jpeg) &&
           image->Save(path, &jpeg, nullptr) == Gdiplus::Ok;
}

bool SaveImageAsJpeg(Gdiplus::Image* image, HANDLE file)
{
    CLSID jpeg;
    if (image == nullptr || file == nullptr || file == INVALID_HANDLE_VALUE || !FindJpegEncoder(&jpeg)) {
        return false;
    }
    // The encoder writes only to a path or a stream, so it encodes into
    // memory and the bytes go through the caller's handle.
    IStream* created = nullptr;
    if (CreateStreamOnHGlobal(nullptr, TRUE, &created) != S_OK) {
        return false;
    }
    const std::unique_ptr<IStream, ReleaseStream> stream(created);
    HGLOBAL memory = nullptr;
    ULARGE_INTEGER size{};
    if (image->Save(stream.get(), &jpeg, nullptr) != Gdiplus::Ok ||
        GetHGlobalFromStream(stream.get(), &memory) != S_OK ||
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &size) != S_OK) {
        return false;
    }
    const GlobalLockScope bytes(memory);
    return bytes && WriteAll(file, static_cast<const unsigned char*>(bytes.Data()), static_cast<SIZE_T>(size.QuadPart));
}
