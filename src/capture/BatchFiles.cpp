#include "capture/BatchFiles.h"

#include "foundation/JpegFile.h"
#include "ui/Handles.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>

namespace {

// Sources are read whole into memory; larger files are not taken.
constexpr LONGLONG kMaxSourceBytes = 0x7FFFFFFF;

StreamPtr ReadFileToStream(const std::wstring& path)
{
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const UniqueHandle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxSourceBytes) {
        return nullptr;
    }
    const DWORD length = static_cast<DWORD>(size.QuadPart);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) {
        return nullptr;
    }
    void* bytes = GlobalLock(block);
    DWORD read = 0;
    const bool complete = bytes != nullptr && ReadFile(file.Get(), bytes, length, &read, nullptr) && read == length;
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (!complete || CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return nullptr;
    }
    return StreamPtr(stream);
}

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

} // namespace

LoadedBitmap LoadBitmapInMemory(const std::wstring& path)
{
    LoadedBitmap loaded;
    loaded.stream = ReadFileToStream(path);
    if (loaded.stream) {
        loaded.bitmap.reset(new Gdiplus::Bitmap(loaded.stream.get(), FALSE));
    }
    return loaded;
}

namespace {

// Rows of whole four-byte words, as GDI+ lays them out.
uint64_t PixelBytes(Gdiplus::Bitmap& bitmap, UINT bitsPerPixel)
{
    const uint64_t rowBytes = (uint64_t{bitmap.GetWidth()} * bitsPerPixel + 31) / 32 * 4;
    return rowBytes * bitmap.GetHeight();
}

size_t Capped(uint64_t bytes)
{
    return static_cast<size_t>(std::min<uint64_t>(bytes, SIZE_MAX));
}

} // namespace

size_t MemoryTaken(const LoadedBitmap& loaded)
{
    uint64_t bytes = 0;
    STATSTG stat{};
    if (loaded.stream && loaded.stream->Stat(&stat, STATFLAG_NONAME) == S_OK) {
        bytes += stat.cbSize.QuadPart;
    }
    if (!loaded.bitmap || loaded.bitmap->GetLastStatus() != Gdiplus::Ok) {
        return Capped(bytes);
    }
    const UINT bitsPerPixel = Gdiplus::GetPixelFormatSize(loaded.bitmap->GetPixelFormat());
    return Capped(bytes + 2 * PixelBytes(*loaded.bitmap, bitsPerPixel) + PixelBytes(*loaded.bitmap, 24));
}

size_t MemoryKept(Gdiplus::Bitmap* copy)
{
    return copy == nullptr ? 0 : Capped(PixelBytes(*copy, 24));
}

bool SaveJpegReplacing(Gdiplus::Bitmap* bitmap, const std::wstring& folder, const std::wstring& target)
{
    PartialFile partial(CreatePartialFile(folder));
    return !partial.Path().empty() && SaveImageAsJpeg(bitmap, partial.Path().c_str()) && partial.MoveTo(target);
}
