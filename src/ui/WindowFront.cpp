#include "ui/WindowFront.h"

HWND FrontWindowOf(HWND main)
{
    const HWND popup = GetLastActivePopup(main);
    if (popup == nullptr || popup == main || !IsWindowVisible(popup) || !IsWindowEnabled(popup)) {
        return main;
    }
    return popup;
}

bool BringToFront(HWND main)
{
    // Restoring a window that is not minimised would take a maximised window
    // out of its maximised state; a minimised one comes back as it was.
    if (IsIconic(main)) {
        ShowWindow(main, SW_RESTORE);
    }
    const HWND front = FrontWindowOf(main);
    if (SetForegroundWindow(front) && GetForegroundWindow() == front) {
        return true;
    }
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = main;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
    return false;
}
