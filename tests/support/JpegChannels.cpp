#include "JpegChannels.h"

#include "ui/ComApartment.h"

#include <windows.h>

#include <objidl.h>
#include <wincodec.h>

#include <memory>

namespace {

template <typename T> struct ComRelease {
    void operator()(T* object) const { object->Release(); }
};
template <typename T> using ComPtr = std::unique_ptr<T, ComRelease<T>>;

template <typename T> ComPtr<T> Owned(T* object)
{
    return ComPtr<T>(object);
}

} // namespace

bool WriteJpegChannels(const std::wstring& path, uint32_t width, uint32_t height, uint32_t channels,
                       const std::vector<uint8_t>& rows)
{
    const UINT stride = width * channels;
    if ((channels != 1 && channels != 4) || rows.size() != size_t{stride} * height) {
        return false;
    }
    const ComApartment com(COINIT_APARTMENTTHREADED);
    IWICImagingFactory* rawFactory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&rawFactory)))) {
        return false;
    }
    const auto factory = Owned(rawFactory);
    IWICStream* rawStream = nullptr;
    if (FAILED(factory->CreateStream(&rawStream))) {
        return false;
    }
    const auto stream = Owned(rawStream);
    IWICBitmapEncoder* rawEncoder = nullptr;
    if (FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &rawEncoder))) {
        return false;
    }
    const auto encoder = Owned(rawEncoder);
    IWICBitmapFrameEncode* rawFrame = nullptr;
    IPropertyBag2* rawOptions = nullptr;
    if (FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&rawFrame, &rawOptions))) {
        return false;
    }
    const auto frame = Owned(rawFrame);
    const auto options = Owned(rawOptions);
    const WICPixelFormatGUID wanted = channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat32bppCMYK;
    WICPixelFormatGUID format = wanted;
    return SUCCEEDED(frame->Initialize(options.get())) && SUCCEEDED(frame->SetSize(width, height)) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, wanted) &&
           SUCCEEDED(
               frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), const_cast<BYTE*>(rows.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}
