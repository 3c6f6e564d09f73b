// The temporary files of the service mode. The worker makes them while the
// dialog's thread may delete them after giving the worker up, so the list
// takes a lock. Each is named in the run mode's journal from just before it
// is made until it is gone.
#pragma once

#include "ui/Handles.h"

#include <mutex>
#include <string>
#include <vector>

// How long a copy may live on disk.
enum class CopyLifetime {
    // Until it is deleted: its name goes to a client, who reads it later.
    UntilDeleted,
    // While its handle is open: no client ever learns of it, and the system
    // deletes it when the handle closes, however the process ends.
    WhileOpen,
};

class CTempFileList {
public:
    // Makes a new file at `path` for writing and registers it, in one step,
    // so that no deletion of the list falls between the two. The handle lets
    // a deletion take effect while the file is still being written: the file
    // goes when the handle is closed. Others may open it for reading while
    // it is held. Empty, with no file made, when the file cannot be made or
    // the list was deleted already: the service is ending.
    UniqueHandle Create(const std::wstring& path, CopyLifetime lifetime);
    // Deletes the file and forgets it.
    void Delete(const std::wstring& path);
    // Deletes every registered file, passing over those that cannot be
    // deleted (gone, or held open by one that does not share the deletion),
    // and takes no more.
    void DeleteAll();

private:
    std::mutex mutex;
    std::vector<std::wstring> paths;
    bool deleted = false;
};
