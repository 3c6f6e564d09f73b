// The one guard at the edge of every Win32 entry point: window and dialog
// procedures, subclass procedures, timer callbacks, hook procedures,
// enumeration callbacks and thread entry points.
//
// With mingw's unwinder a C++ exception cannot pass through the system's
// frames, so each entry point catches everything. What it catches is not
// dropped: the first escaped exception is kept, the running message loops are
// ended (a quit message to the application's thread), and RunApplication
// reports it and exits with a failure code.
//
//     LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam)
//     {
//         return CallGuarded<LRESULT>(0, [&] { ...; return CallNextHookEx(...); });
//     }
#pragma once

#include <exception>

// Keeps the exception being handled (the first one only) and ends the
// running loops. Call it only from inside a catch block.
void RecordEscapedException() noexcept;

// The kept exception, which is then forgotten; null when none escaped.
std::exception_ptr TakeEscapedException() noexcept;

// Makes the calling thread the one whose loops an exception in another thread
// ends. RunApplication calls it; without it such an exception ends no loop.
void SetApplicationThread() noexcept;

// Runs `body` and returns its result, or `onException` when it threw.
template <typename Result, typename Body> Result CallGuarded(Result onException, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        RecordEscapedException();
        return onException;
    }
}
