// The temporary files of the service mode. The worker registers them while
// the dialog's thread may delete them after giving the worker up, so the list
// takes a lock.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class CTempFileList {
public:
    void Add(const std::wstring& path);
    // Deletes the file and forgets it.
    void Delete(const std::wstring& path);
    // Deletes every registered file, passing over those that cannot be
    // deleted (gone, or held open), and empties the list.
    void DeleteAll();
    std::vector<std::wstring> Paths() const;

private:
    mutable std::mutex mutex;
    std::vector<std::wstring> paths;
};
