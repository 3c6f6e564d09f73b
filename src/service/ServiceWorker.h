// The service mode's worker thread: it runs the loopback request server and,
// when the server has ended, asks the service dialog to close.
#pragma once

#include "service/TempFileList.h"
#include "ui/Handles.h"

#include <windows.h>

#include <atomic>
#include <memory>

// What the worker shares with the dialog that started it. Each holds it, so
// it lives as long as the one that lives longer: the dialog may end while the
// worker is still inside a request.
struct SServiceShared {
    // The window to close when the server has ended; null once it is gone.
    std::atomic<HWND> dialog{nullptr};
    // The server has stopped, or never started: whatever listens on the
    // port now is not ours and gets no stop request.
    std::atomic<bool> serverEnded{false};
    CTempFileList tempFiles;
};

// Starts ServiceThreadProc on `shared`; an empty handle when no thread started.
UniqueHandle StartServiceWorker(const std::shared_ptr<SServiceShared>& shared);

// `param` is a heap copy of the shared pointer, which the thread takes over.
// Returns 0, or 1 when something escaped the server.
unsigned __stdcall ServiceThreadProc(void* param);
