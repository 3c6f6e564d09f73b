#include "capture/HideWindowForCapture.h"

namespace {

// How long the screen gets to show what was under the window before the copy.
constexpr DWORD REPAINT_WAIT_MS = 100;

} // namespace

void HideWindowForCapture(HWND window, const RECT& region)
{
    RECT placed{};
    RECT uncovered{};
    const bool overlapped =
        IsWindowVisible(window) && GetWindowRect(window, &placed) && IntersectRect(&uncovered, &placed, &region);
    ShowWindow(window, SW_HIDE);
    if (overlapped) {
        RedrawWindow(nullptr, &uncovered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
        // Other programs repaint on their own threads, and the window system
        // may put what our windows drew on the screen a little later: wait a
        // moment, dispatching nothing, before the copy.
        MsgWaitForMultipleObjectsEx(0, nullptr, REPAINT_WAIT_MS, 0, 0);
    }
}
