#include "chart/FileDropBlock.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace {

static_assert(sizeof(DROPFILES) == FILE_DROP_HEADER_SIZE, "the file list follows the header directly");

// The path in the thread's ANSI code page, or empty when that page cannot
// hold it: a character it lacks would come back as another.
std::string LosslessNarrowPath(const std::wstring& path)
{
    const int length = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, path.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, path.c_str(), length, narrow.data(), size, nullptr, nullptr);
    const int wideSize = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), size, nullptr, 0);
    std::wstring back(static_cast<size_t>(std::max(wideSize, 0)), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), size, back.data(), wideSize);
    return back == path ? narrow : std::string();
}

UniqueGlobal FilledBlock(const void* names, size_t namesBytes, size_t terminatorBytes, bool wide)
{
    UniqueGlobal block(
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, FILE_DROP_HEADER_SIZE + namesBytes + terminatorBytes));
    if (!block) {
        return {};
    }
    GlobalLockScope locked(block.Get());
    if (!locked) {
        return {};
    }
    auto* header = static_cast<DROPFILES*>(locked.Data());
    header->pFiles = FILE_DROP_HEADER_SIZE;
    header->fWide = wide ? TRUE : FALSE;
    // The terminators come from the zeroed block.
    std::memcpy(static_cast<char*>(locked.Data()) + FILE_DROP_HEADER_SIZE, names, namesBytes);
    return block;
}

} // namespace

UniqueGlobal MakeFileDropBlock(const std::wstring& path)
{
    if (path.empty()) {
        return {};
    }
    const std::string narrow = LosslessNarrowPath(path);
    if (!narrow.empty()) {
        return FilledBlock(narrow.data(), narrow.size(), 2, false);
    }
    return FilledBlock(path.data(), path.size() * sizeof(wchar_t), 2 * sizeof(wchar_t), true);
}
