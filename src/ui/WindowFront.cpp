#include "ui/WindowFront.h"

#include "ui/ExceptionGuard.h"

namespace {

constexpr wchar_t kFrontRequestClass[] = L"QuillmereFrontRequest";
// How long the window manager may take to hand the request window the
// keyboard before the activation counts as refused.
constexpr UINT kWindowManagerAnswerMs = 3000;
constexpr UINT_PTR TIMER_NO_ANSWER = 1;
// Posted by the request window to itself once the keyboard has been passed on.
constexpr UINT WM_ANSWERED = WM_APP + 1;
// The request window keeps the window it brings forward in its extra bytes.
constexpr int kMainSlot = 0;

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

void SetTopMost(HWND window, bool topMost)
{
    SetWindowPos(window, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void RestoreIfMinimised(HWND window)
{
    // Restoring a window that is not minimised would take a maximised window
    // out of its maximised state; a minimised one comes back as it was.
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
}

// The activation is over: the window leaves the top-most band it was raised
// through (with the dialog it raised along), and, when the window manager
// never let it in, asks for the user's attention.
void EndFrontRequest(HWND request, bool answered)
{
    const auto main = reinterpret_cast<HWND>(GetWindowLongPtrW(request, kMainSlot));
    DestroyWindow(request);
    if (!IsWindow(main)) {
        return;
    }
    const HWND front = FrontWindowOf(main);
    if (front != main) {
        SetTopMost(front, false);
    }
    SetTopMost(main, false);
    if (!answered) {
        FLASHWINFO flash{};
        flash.cbSize = sizeof flash;
        flash.hwnd = main;
        flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
        FlashWindowEx(&flash);
    }
}

// A window manager gives the keyboard to a program only on its own terms: an
// activation asked for by a program that the user is not working in is
// refused, and Wine asks for none at all, although it counts the window as
// the foreground. A window newly shown by a program the user did not turn
// away from is let in: the request window is such a window. The window
// manager's hand-over reaches it as a mouse activation; it declines it, and
// Wine then passes the keyboard on to the window this thread's focus is in,
// the one just activated. No hand-over within the bound: refused.
LRESULT CALLBACK FrontRequestProc(HWND request, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallGuarded<LRESULT>(0, [&]() -> LRESULT {
        switch (message) {
        case WM_MOUSEACTIVATE:
            PostMessageW(request, WM_ANSWERED, 0, 0);
            return MA_NOACTIVATE;
        case WM_ANSWERED:
            EndFrontRequest(request, true);
            return 0;
        case WM_TIMER:
            if (wParam == TIMER_NO_ANSWER) {
                EndFrontRequest(request, false);
            }
            return 0;
        default:
            return DefWindowProcW(request, message, wParam, lParam);
        }
    });
}

bool RegisterFrontRequestClass(HINSTANCE instance)
{
    WNDCLASSW registered{};
    if (GetClassInfoW(instance, kFrontRequestClass, &registered)) {
        return true;
    }
    WNDCLASSW requestClass{};
    requestClass.lpfnWndProc = FrontRequestProc;
    requestClass.cbWndExtra = sizeof(HWND);
    requestClass.hInstance = instance;
    requestClass.lpszClassName = kFrontRequestClass;
    return RegisterClassW(&requestClass) != 0;
}

// Shown without activation, with a caption, so that a window manager manages
// it; one pixel at the screen's corner, under the raised window.
void AskTheWindowManager(HWND main)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterFrontRequestClass(instance)) {
        return;
    }
    const HWND request = CreateWindowExW(0, kFrontRequestClass, L"", WS_POPUP | WS_CAPTION,
                                         GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 1, 1,
                                         nullptr, nullptr, instance, nullptr);
    if (request == nullptr) {
        return;
    }
    SetWindowLongPtrW(request, kMainSlot, reinterpret_cast<LONG_PTR>(main));
    SetTimer(request, TIMER_NO_ANSWER, kWindowManagerAnswerMs, nullptr);
    ShowWindow(request, SW_SHOWNOACTIVATE);
}

} // namespace

void BringToFront(HWND main)
{
    RestoreIfMinimised(main);
    // What the display reported before (another program taking the focus)
    // is taken in first: handled after the activation, it would undo it.
    GetQueueStatus(QS_ALLINPUT);
    const HWND front = FrontWindowOf(main);
    // Raised through the top-most band: a request to come to the top of the
    // ordinary windows changes nothing where a top-most window of ours (the
    // capture toolbar) is shown, and the display hears of none.
    SetTopMost(main, true);
    SetForegroundWindow(front);
    // Without a window manager Wine moves the display's keyboard focus
    // itself, but only when the focus moves between windows: it still counts
    // the window as focused when a program of another kind took the keyboard.
    const HWND focus = GetFocus();
    if (focus != nullptr && focus != front && IsChild(front, focus)) {
        SetFocus(front);
        SetFocus(focus);
    }
    AskTheWindowManager(main);
}

void GrantFrontTo(HWND window)
{
    RestoreIfMinimised(window);
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) != 0) {
        AllowSetForegroundWindow(processId);
    }
}
