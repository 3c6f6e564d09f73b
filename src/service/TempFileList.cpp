#include "service/TempFileList.h"

#include <windows.h>

#include <algorithm>

void CTempFileList::Add(const std::wstring& path)
{
    const std::lock_guard<std::mutex> lock(mutex);
    paths.push_back(path);
}

void CTempFileList::Delete(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    const std::lock_guard<std::mutex> lock(mutex);
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

void CTempFileList::DeleteAll()
{
    std::vector<std::wstring> registered;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        registered.swap(paths);
    }
    for (const std::wstring& path : registered) {
        DeleteFileW(path.c_str());
    }
}

std::vector<std::wstring> CTempFileList::Paths() const
{
    const std::lock_guard<std::mutex> lock(mutex);
    return paths;
}
