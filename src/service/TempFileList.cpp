#include "service/TempFileList.h"

#include <windows.h>

#include <algorithm>

UniqueHandle CTempFileList::Create(const std::wstring& path)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (deleted) {
        return UniqueHandle();
    }
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return UniqueHandle();
    }
    paths.push_back(path);
    return UniqueHandle(file);
}

void CTempFileList::Delete(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    const std::lock_guard<std::mutex> lock(mutex);
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

void CTempFileList::DeleteAll()
{
    const std::lock_guard<std::mutex> lock(mutex);
    deleted = true;
    for (const std::wstring& path : paths) {
        DeleteFileW(path.c_str());
    }
    paths.clear();
}
