#include "foundation/TempFiles.h"

std::vector<std::wstring> g_tempFiles;

bool MakeTempFilePath(const GUID* guid, const wchar_t* extension, wchar_t* out)
{
    wchar_t folder[TEMP_PATH_CAPACITY] = {};
    const DWORD length = GetTempPathW(TEMP_PATH_CAPACITY, folder);
    if (length == 0 || length >= TEMP_PATH_CAPACITY) {
        return false;
    }
    return ComposeTempFilePath(std::wstring_view(folder, length), guid, extension, out);
}

void AddTempFile(const wchar_t* path)
{
    if (path != nullptr) {
        g_tempFiles.emplace_back(path);
    }
}

void DeleteTempFiles()
{
    for (const std::wstring& path : g_tempFiles) {
        DeleteFileW(path.c_str());
    }
    g_tempFiles.clear();
}
