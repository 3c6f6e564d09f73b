#include "ui/WindowFront.h"

#include "ui/ExceptionGuard.h"

namespace {

constexpr wchar_t kFrontRequestClass[] = L"QuillmereFrontRequest";
// How long the window manager may take to hand the request window the
// keyboard before the activation counts as refused, and how often the
// display's keyboard focus is asked for meanwhile.
constexpr DWORD kWindowManagerAnswerMs = 3000;
constexpr UINT kAskAgainMs = 500;
constexpr UINT_PTR TIMER_ASK_AGAIN = 1;
// Posted by the request window to itself once the keyboard has been passed on.
constexpr UINT WM_ANSWERED = WM_APP + 1;
// The request window keeps the window it brings forward and the tick count
// at which it was shown in its extra bytes.
constexpr int kMainSlot = 0;
constexpr int kShownAtSlot = sizeof(LONG_PTR);

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
    SetWindowPos(window, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Without a window manager Wine moves the display's keyboard focus itself,
// but only when the focus moves between windows: it still counts the window
// as focused when a program of another kind took the keyboard. It stamps the
// request with the time of the message being handled, as it reckons it, and
// the display ignores a request stamped before the other program took the
// keyboard: asked again from a later message, it gets through.
void AskForTheDisplaysFocus(HWND front)
{
    const HWND focus = GetFocus();
    if (focus == nullptr || GetAncestor(focus, GA_ROOT) != front) {
        return;
    }
    SetFocus(focus == front ? nullptr : front);
    SetFocus(focus);
}

// Under Wine each top-level window is also a window of the X display, whose
// window manager decides who has the keyboard while Wine's own foreground
// says yes to every request; on Windows the system's foreground is the
// answer itself.
bool OnXDisplay(HWND window)
{
    return GetPropW(window, L"__wine_x11_whole_window") != nullptr;
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
// through (with the dialog it raised along), and, when the system never let
// it in, asks for the user's attention.
void EndFront(HWND main, bool answered)
{
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

void EndFrontRequest(HWND request, bool answered)
{
    const auto main = reinterpret_cast<HWND>(GetWindowLongPtrW(request, kMainSlot));
    DestroyWindow(request);
    if (IsWindow(main)) {
        EndFront(main, answered);
    }
}

void OnAskAgain(HWND request)
{
    const auto shownAt = static_cast<DWORD>(GetWindowLongPtrW(request, kShownAtSlot));
    if (GetTickCount() - shownAt >= kWindowManagerAnswerMs) {
        EndFrontRequest(request, false);
        return;
    }
    const auto main = reinterpret_cast<HWND>(GetWindowLongPtrW(request, kMainSlot));
    if (IsWindow(main)) {
        AskForTheDisplaysFocus(FrontWindowOf(main));
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
            if (wParam == TIMER_ASK_AGAIN) {
                OnAskAgain(request);
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
    requestClass.cbWndExtra = 2 * sizeof(LONG_PTR);
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
    const HWND request =
        CreateWindowExW(0, kFrontRequestClass, L"", WS_POPUP | WS_CAPTION, GetSystemMetrics(SM_XVIRTUALSCREEN),
                        GetSystemMetrics(SM_YVIRTUALSCREEN), 1, 1, nullptr, nullptr, instance, nullptr);
    if (request == nullptr) {
        return;
    }
    SetWindowLongPtrW(request, kMainSlot, reinterpret_cast<LONG_PTR>(main));
    SetWindowLongPtrW(request, kShownAtSlot, static_cast<LONG_PTR>(GetTickCount()));
    SetTimer(request, TIMER_ASK_AGAIN, kAskAgainMs, nullptr);
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
    if (OnXDisplay(main)) {
        AskForTheDisplaysFocus(front);
        AskTheWindowManager(main);
        return;
    }
    EndFront(main, GetForegroundWindow() == front);
}

void GrantFrontTo(HWND window)
{
    RestoreIfMinimised(window);
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) != 0) {
        AllowSetForegroundWindow(processId);
    }
}
