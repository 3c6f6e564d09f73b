#include "service/TempFileList.h"

#include "foundation/TempFileJournal.h"
#include "foundation/TempFiles.h"

#include <windows.h>

#include <algorithm>

UniqueHandle CTempFileList::Create(const std::wstring& path, CopyLifetime lifetime)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (deleted) {
        return UniqueHandle();
    }
    // Whoever reads the copy while it is held (the upload) must share its
    // writing and, for a copy that goes with its handle, its deletion.
    const DWORD flags = lifetime == CopyLifetime::WhileOpen ? FILE_FLAG_DELETE_ON_CLOSE : 0;
    g_tempFileJournal.Record(path);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        g_tempFileJournal.Strike(path);
        return UniqueHandle();
    }
    paths.push_back(path);
    return UniqueHandle(file);
}

void CTempFileList::Delete(const std::wstring& path)
{
    DeleteTempCopy(path);
    const std::lock_guard<std::mutex> lock(mutex);
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

void CTempFileList::DeleteAll()
{
    const std::lock_guard<std::mutex> lock(mutex);
    deleted = true;
    for (const std::wstring& path : paths) {
        DeleteTempCopy(path);
    }
    paths.clear();
}
