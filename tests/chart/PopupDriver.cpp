#include "PopupDriver.h"

#include "WinTestUtil.h"

namespace charttest {

namespace {

constexpr DWORD MENU_WAIT_MS = 5000;
constexpr DWORD DRIVE_BOUND_MS = 15000;
// What the menu's modal loop needs to take an input event.
constexpr DWORD INPUT_PAUSE_MS = 60;
// How long a click on an item may take to close the menu before it counts
// as lost.
constexpr DWORD CLICK_TAKEN_MS = 1500;

bool MenuClosed(HWND window)
{
    return !IsWindow(window) || !IsWindowVisible(window);
}

bool Checked(HMENU menu, int position)
{
    return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_CHECKED) != 0;
}

// Polls `done` from the driving thread; false when `boundMs` ran out first.
template <typename Condition> bool Within(DWORD boundMs, Condition done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= boundMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// Clicks the item at `position` of the menu open in `window` and waits until
// the click shows: the menu closed, or the item's mark turned. On a busy
// machine the menu can show before the display takes clicks on it; a click
// that was lost is given once more.
void ClickMenuItemUntilTaken(HWND window, HMENU menu, int position)
{
    const bool wasChecked = Checked(menu, position);
    const auto taken = [&] { return MenuClosed(window) || Checked(menu, position) != wasChecked; };
    ClickMenuItem(menu, position);
    if (!Within(CLICK_TAKEN_MS, taken)) {
        ClickMenuItem(menu, position);
        Within(CLICK_TAKEN_MS, taken);
    }
}

} // namespace

HWND VisibleMenuWindow(DWORD boundMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < boundMs) {
        HWND menu = testutil::FindVisibleWindow(L"#32768", nullptr);
        if (menu != nullptr) {
            return menu;
        }
        Sleep(20);
    }
    return nullptr;
}

void SendMouse(DWORD flags, POINT at)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    input.mi.dx = (at.x - left) * 65535 / (GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    input.mi.dy = (at.y - top) * 65535 / (GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof input);
    Sleep(INPUT_PAUSE_MS);
}

PopupDriver::PopupDriver(std::optional<POINT> rightClickAt, int choose)
    : PopupDriver(rightClickAt, choose == CLOSE_WITH_ESCAPE ? std::vector<int>{} : std::vector<int>{choose})
{
}

PopupDriver::PopupDriver(std::optional<POINT> rightClickAt, std::vector<int> clicks, const std::atomic<bool>* clickWhen)
    : thread([this, rightClickAt, clicks, clickWhen] { Drive(rightClickAt, clicks, clickWhen); })
{
}

void PopupDriver::Join()
{
    if (thread.joinable()) {
        thread.join();
    }
}

bool PopupDriver::PumpUntilDone()
{
    const bool finished = testutil::PumpUntil([this] { return done.load(); }, DRIVE_BOUND_MS);
    Join();
    // The chosen item's command is posted when the menu closes.
    return testutil::PumpUntilQueueEmpty() && finished;
}

void PopupDriver::Drive(std::optional<POINT> rightClickAt, const std::vector<int>& clicks,
                        const std::atomic<bool>* clickWhen)
{
    if (rightClickAt) {
        SendMouse(0, *rightClickAt);
        SendMouse(MOUSEEVENTF_RIGHTDOWN, *rightClickAt);
        SendMouse(MOUSEEVENTF_RIGHTUP, *rightClickAt);
    }
    HWND window = VisibleMenuWindow(MENU_WAIT_MS);
    if (window == nullptr) {
        done = true;
        return;
    }
    opened = true;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        PopupItem item;
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        item.text = text;
        item.command = GetMenuItemID(menu, i);
        item.checked = Checked(menu, i);
        items.push_back(item);
    }
    if (clickWhen != nullptr) {
        Within(DRIVE_BOUND_MS, [clickWhen] { return clickWhen->load(); });
    }
    for (const int position : clicks) {
        if (MenuClosed(window)) {
            break;
        }
        ClickMenuItemUntilTaken(window, menu, position);
    }
    // Into the menu's own queue: a key typed on the shared display could
    // reach another test's window. A menu still open would keep its loop
    // running on the test's thread: closed here, the test fails on what it
    // expected rather than waiting for the run's time-out.
    if (!MenuClosed(window)) {
        closedWithEscape = true;
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
        Within(MENU_WAIT_MS, [window] { return MenuClosed(window); });
    }
    done = true;
}

void ClickMenuItem(HMENU menu, int position)
{
    RECT r{};
    GetMenuItemRect(nullptr, menu, static_cast<UINT>(position), &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    SendMouse(0, centre);
    SendMouse(MOUSEEVENTF_LEFTDOWN, centre);
    SendMouse(MOUSEEVENTF_LEFTUP, centre);
}

} // namespace charttest
