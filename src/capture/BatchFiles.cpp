#include "capture/BatchFiles.h"

#include "foundation/JpegFile.h"
#include "foundation/JpegFrame.h"
#include "ui/Handles.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

namespace {

// Sources are read whole into memory; larger files are not taken.
constexpr LONGLONG kMaxSourceBytes = 0x7FFFFFFF;

// The source file opened for reading, and its size; no handle when it cannot
// be opened or is empty or too large to be taken.
UniqueHandle OpenSource(const std::wstring& path, DWORD& length)
{
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return {};
    }
    UniqueHandle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxSourceBytes) {
        return {};
    }
    length = static_cast<DWORD>(size.QuadPart);
    return file;
}

bool ReadWhole(HANDLE file, void* bytes, DWORD length)
{
    DWORD read = 0;
    return bytes != nullptr && ReadFile(file, bytes, length, &read, nullptr) && read == length;
}

} // namespace

StreamPtr ReadFileInMemory(const std::wstring& path)
{
    DWORD length = 0;
    const UniqueHandle file = OpenSource(path, length);
    if (!file) {
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) {
        return nullptr;
    }
    const bool complete = ReadWhole(file.Get(), GlobalLock(block), length);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (!complete || CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return nullptr;
    }
    return StreamPtr(stream);
}

namespace {

// Creates an empty file of a new name in `folder` (which ends in a
// backslash) and gives its path; empty when none can be had. The name is
// short, "~" and four hexadecimal digits, so that it fits wherever a file
// name of five characters would.
std::wstring CreatePartialFile(const std::wstring& folder)
{
    constexpr size_t kNameLength = 5;
    constexpr unsigned kNameCount = 0x10000;
    if (folder.size() + kNameLength >= MAX_PATH) {
        return {};
    }
    const unsigned first = (GetTickCount() ^ GetCurrentProcessId() ^ GetCurrentThreadId()) % kNameCount;
    for (unsigned attempt = 0; attempt < kNameCount; ++attempt) {
        wchar_t name[kNameLength + 1];
        swprintf(name, kNameLength + 1, L"~%04x", (first + attempt) % kNameCount);
        std::wstring path = folder + name;
        HANDLE created =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            CloseHandle(created);
            return path;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

// The partial file goes when it was not moved into place, also when an
// exception leaves the save.
class PartialFile {
public:
    explicit PartialFile(std::wstring path) : path(std::move(path)) {}
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    ~PartialFile()
    {
        if (!path.empty()) {
            DeleteFileW(path.c_str());
        }
    }

    const std::wstring& Path() const { return path; }
    bool MoveTo(const std::wstring& target)
    {
        if (!MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return false;
        }
        path.clear();
        return true;
    }

private:
    std::wstring path;
};

// Rows of whole four-byte words, as GDI+ lays them out.
uint64_t PixelBytes(uint64_t width, uint64_t height, UINT bitsPerPixel)
{
    const uint64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return rowBytes * height;
}

size_t Capped(uint64_t bytes)
{
    return static_cast<size_t>(std::min<uint64_t>(bytes, SIZE_MAX));
}

uint64_t StreamBytes(IStream* stream)
{
    STATSTG stat{};
    return stream != nullptr && stream->Stat(&stat, STATFLAG_NONAME) == S_OK ? stat.cbSize.QuadPart : 0;
}

size_t DecodingCost(uint64_t fileBytes, uint64_t width, uint64_t height, UINT bitsPerPixel)
{
    return Capped(fileBytes + 2 * PixelBytes(width, height, bitsPerPixel) + PixelBytes(width, height, 24));
}

size_t StraightDecodingCost(uint64_t fileBytes, uint64_t width, uint64_t height, UINT bitsPerPixel)
{
    return Capped(fileBytes + PixelBytes(width, height, bitsPerPixel) + PixelBytes(width, height, 24));
}

// A Huffman-coded JPEG spends at least one bit on each 8 x 8 block of its
// full-resolution component, so its file holds at least a byte for each 512
// pixels (ImageMagick codes a blank picture in a byte for each 253). A
// header that claims more is not believed before the decoder shows it; the
// rare honest file beyond it (arithmetic coding of a blank picture) is only
// counted once decoded.
constexpr uint64_t kMostPixelsPerFileByte = 512;

bool FileCanHold(const JpegFrame& frame, uint64_t fileBytes)
{
    return uint64_t{frame.width} * frame.height <= fileBytes * kMostPixelsPerFileByte;
}

// The bits a pixel the decoder gives a JPEG of that many components in:
// grey as 8, colour as 24, CMYK as 32; 0 for what it does not decode.
UINT DecodedBitsPerPixel(uint32_t components)
{
    return components == 1 || components == 3 || components == 4 ? 8 * components : 0;
}

// CMYK is left to GDI+, whose conversion to RGB the one-file route gives.
bool DecodesStraightTo24Bit(const JpegFrame& frame)
{
    return frame.components == 1 || frame.components == 3;
}

// The most bytes a buffer of a 32-bit process may span: from 2^31 on, sizes
// no longer fit the signed 32-bit products that decoders compute them in.
constexpr uint64_t kMostBufferBytes = uint64_t{1} << 31;

// Whether each buffer the frame's decoding makes fits what the process can
// hold: the decoder's rows of every component, and the 24-bit copy.
bool FrameFits(const JpegFrame& frame)
{
    const UINT bitsPerPixel = 8 * std::max<UINT>(frame.components, 3);
    return PixelBytes(frame.width, frame.height, bitsPerPixel) < kMostBufferBytes;
}

bool ReadJpegFrame(IStream* stream, JpegFrame& frame)
{
    HGLOBAL block = nullptr;
    if (stream == nullptr || GetHGlobalFromStream(stream, &block) != S_OK) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
    if (bytes == nullptr) {
        return false;
    }
    const bool known = ReadJpegFrame(bytes, Capped(std::min<uint64_t>(StreamBytes(stream), GlobalSize(block))), frame);
    GlobalUnlock(block);
    return known;
}

// A JPEG whose frame does not fit is no image the batch can take, whatever a
// decoder would make of it.
bool IsRefused(IStream* stream)
{
    JpegFrame frame;
    return ReadJpegFrame(stream, frame) && !FrameFits(frame);
}

// What the file of that many bytes, whose head tells `frame`, takes: only its
// bytes when it is refused.
size_t MemoryExpected(const JpegFrame& frame, uint64_t fileBytes)
{
    if (!FrameFits(frame)) {
        return Capped(fileBytes);
    }
    const UINT bitsPerPixel = DecodedBitsPerPixel(frame.components);
    if (bitsPerPixel == 0 || !FileCanHold(frame, fileBytes)) {
        return 0;
    }
    if (DecodesStraightTo24Bit(frame)) {
        return StraightDecodingCost(fileBytes, frame.width, frame.height, bitsPerPixel);
    }
    return DecodingCost(fileBytes, frame.width, frame.height, bitsPerPixel);
}

// The head of the file is read anew, twice as long each time, until it tells
// the frame or shows that it will not; a frame header further into the file
// (behind megabytes of metadata) is not looked for.
constexpr DWORD kFirstHeadBytes = 64 << 10;
constexpr DWORD kMostHeadBytes = 16 << 20;

} // namespace

LoadedBitmap DecodeInMemory(StreamPtr stream)
{
    LoadedBitmap loaded;
    loaded.stream = std::move(stream);
    if (loaded.stream && !IsRefused(loaded.stream.get())) {
        loaded.bitmap.reset(new Gdiplus::Bitmap(loaded.stream.get(), FALSE));
    }
    return loaded;
}

LoadedBitmap LoadBitmapInMemory(const std::wstring& path)
{
    return DecodeInMemory(ReadFileInMemory(path));
}

size_t MemoryTaken(const LoadedBitmap& loaded)
{
    const uint64_t fileBytes = StreamBytes(loaded.stream.get());
    if (!loaded.bitmap || loaded.bitmap->GetLastStatus() != Gdiplus::Ok) {
        return Capped(fileBytes);
    }
    return DecodingCost(fileBytes, loaded.bitmap->GetWidth(), loaded.bitmap->GetHeight(),
                        Gdiplus::GetPixelFormatSize(loaded.bitmap->GetPixelFormat()));
}

size_t MemoryTakenStraight(IStream* stream, Gdiplus::Bitmap& copy)
{
    JpegFrame frame;
    const UINT bitsPerPixel = ReadJpegFrame(stream, frame) ? DecodedBitsPerPixel(frame.components) : 0;
    return StraightDecodingCost(StreamBytes(stream), copy.GetWidth(), copy.GetHeight(), bitsPerPixel);
}

size_t MemoryExpected(const std::wstring& path)
{
    DWORD length = 0;
    const UniqueHandle file = OpenSource(path, length);
    JpegFrame frame;
    FrameSearch found = FrameSearch::CutShort;
    for (DWORD head = std::min(kFirstHeadBytes, length); file && found == FrameSearch::CutShort;
         head = std::min(head * 2, length)) {
        const std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[head]);
        if (SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) != 0 || !ReadWhole(file.Get(), bytes.get(), head)) {
            return 0;
        }
        found = FindJpegFrame(bytes.get(), head, frame);
        if (head == length || head >= kMostHeadBytes) {
            break;
        }
    }
    return found == FrameSearch::Found ? MemoryExpected(frame, length) : 0;
}

namespace {

// Hands the stream back at its start, whatever was read of it: GDI+ on
// Windows reads an image from where its stream stands (Wine's seeks first).
class RewindOnExit {
public:
    explicit RewindOnExit(IStream* stream) : stream(stream) {}
    RewindOnExit(const RewindOnExit&) = delete;
    RewindOnExit& operator=(const RewindOnExit&) = delete;
    ~RewindOnExit()
    {
        const LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
    }

private:
    IStream* stream;
};

// Copies the decoder's grey or 24-bit BGR rows into the locked 24-bit RGB
// bitmap (whose bytes are B, G, R too); a grey row goes through one row of
// its own, widened here.
bool CopyDecodedRows(IWICBitmapSource* decoded, bool grey, const Gdiplus::BitmapData& locked)
{
    const UINT stride = static_cast<UINT>(locked.Stride);
    auto* rows = static_cast<BYTE*>(locked.Scan0);
    if (!grey) {
        const uint64_t bytes = uint64_t{stride} * locked.Height;
        return bytes < kMostBufferBytes &&
               SUCCEEDED(decoded->CopyPixels(nullptr, stride, static_cast<UINT>(bytes), rows));
    }
    std::vector<BYTE> greyRow(locked.Width);
    for (UINT y = 0; y < locked.Height; ++y) {
        const WICRect row{0, static_cast<INT>(y), static_cast<INT>(locked.Width), 1};
        if (FAILED(decoded->CopyPixels(&row, locked.Width, locked.Width, greyRow.data()))) {
            return false;
        }
        BYTE* out = rows + size_t{y} * stride;
        for (const BYTE value : greyRow) {
            *out++ = value;
            *out++ = value;
            *out++ = value;
        }
    }
    return true;
}

} // namespace

std::unique_ptr<Gdiplus::Bitmap> DecodeJpegTo24BitRgb(IStream* stream)
{
    using Microsoft::WRL::ComPtr;
    JpegFrame frame;
    if (!ReadJpegFrame(stream, frame) || !DecodesStraightTo24Bit(frame) || !FrameFits(frame)) {
        return nullptr;
    }
    const RewindOnExit rewind(stream);
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> decoded;
    const LARGE_INTEGER start{};
    UINT width = 0;
    UINT height = 0;
    double dpiX = 0;
    double dpiY = 0;
    WICPixelFormatGUID format{};
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
        FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
        FAILED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &decoded)) || FAILED(decoded->GetSize(&width, &height)) ||
        FAILED(decoded->GetResolution(&dpiX, &dpiY)) || FAILED(decoded->GetPixelFormat(&format)) ||
        width != frame.width || height != frame.height) {
        return nullptr;
    }
    const bool grey = IsEqualGUID(format, GUID_WICPixelFormat8bppGray);
    if (!grey && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        return nullptr;
    }
    // The encoder writes the resolution back, as it does for a copy of a
    // bitmap GDI+ decoded.
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                  PixelFormat24bppRGB);
    if (copy->GetLastStatus() != Gdiplus::Ok ||
        copy->SetResolution(static_cast<Gdiplus::REAL>(dpiX), static_cast<Gdiplus::REAL>(dpiY)) != Gdiplus::Ok) {
        return nullptr;
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData locked{};
    if (copy->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &locked) != Gdiplus::Ok) {
        return nullptr;
    }
    const bool copied = CopyDecodedRows(decoded.Get(), grey, locked);
    copy->UnlockBits(&locked);
    return copied ? std::move(copy) : nullptr;
}

size_t MemoryKept(Gdiplus::Bitmap* copy)
{
    return copy == nullptr ? 0 : Capped(PixelBytes(copy->GetWidth(), copy->GetHeight(), 24));
}

bool SaveJpegReplacing(Gdiplus::Bitmap* bitmap, const std::wstring& folder, const std::wstring& target)
{
    PartialFile partial(CreatePartialFile(folder));
    return !partial.Path().empty() && SaveImageAsJpeg(bitmap, partial.Path().c_str()) && partial.MoveTo(target);
}
