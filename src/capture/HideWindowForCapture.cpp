#include "capture/HideWindowForCapture.h"

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
    }
}
