#include "ui/WindowFront.h"

namespace {

// The window the user works in: while `main` runs a modal dialog (the
// settings, the template editor, a message box) it is disabled, and brought
// forward itself it would take the keyboard from that dialog.
HWND FrontWindowOf(HWND main)
{
    const HWND popup = GetLastActivePopup(main);
    if (popup == nullptr || popup == main || !IsWindowVisible(popup) || !IsWindowEnabled(popup)) {
        return main;
    }
    return popup;
}

} // namespace

void BringToFront(HWND main)
{
    // Restoring a window that is not minimised would take a maximised window
    // out of its maximised state; a minimised one comes back as it was.
    if (IsIconic(main)) {
        ShowWindow(main, SW_RESTORE);
    }
    // What the display reported before (another program taking the focus)
    // is taken in first: handled after the activation, it would undo it.
    GetQueueStatus(QS_ALLINPUT);
    const HWND front = FrontWindowOf(main);
    // A window manager raises the window on this request, not on the
    // activation alone.
    SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (SetForegroundWindow(front) && GetForegroundWindow() == front) {
        return;
    }
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = main;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
}
