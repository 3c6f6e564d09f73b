#include "foundation/TempFiles.h"

#include "foundation/TempFileJournal.h"

#include <algorithm>

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
        g_tempFileJournal.Record(path);
        g_tempFiles.emplace_back(path);
    }
}

void ForgetTempFile(const wchar_t* path)
{
    if (path != nullptr && DeleteTempCopy(path)) {
        g_tempFiles.erase(std::remove(g_tempFiles.begin(), g_tempFiles.end(), path), g_tempFiles.end());
    }
}

void DeleteTempFiles()
{
    for (const std::wstring& path : g_tempFiles) {
        DeleteTempCopy(path);
    }
    g_tempFiles.clear();
}

bool DeleteTempCopy(const std::wstring& path)
{
    const bool gone =
        DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    if (gone) {
        g_tempFileJournal.Strike(path);
    }
    return gone;
}
