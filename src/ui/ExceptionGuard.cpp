#include "ui/ExceptionGuard.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace {

// The exit code of the quit message that ends the loops after an exception.
constexpr int kEscapedExitCode = 1;

std::mutex recordMutex;
std::exception_ptr escaped;
std::atomic<DWORD> applicationThread{0};

} // namespace

void RecordEscapedException() noexcept
{
    {
        const std::lock_guard<std::mutex> lock(recordMutex);
        if (!escaped) {
            escaped = std::current_exception();
        }
    }
    const DWORD thread = applicationThread;
    if (thread == 0 || thread == GetCurrentThreadId()) {
        PostQuitMessage(kEscapedExitCode);
    } else {
        PostThreadMessageW(thread, WM_QUIT, kEscapedExitCode, 0);
    }
}

std::exception_ptr TakeEscapedException() noexcept
{
    const std::lock_guard<std::mutex> lock(recordMutex);
    std::exception_ptr taken = escaped;
    escaped = nullptr;
    return taken;
}

void SetApplicationThread() noexcept
{
    applicationThread = GetCurrentThreadId();
}
