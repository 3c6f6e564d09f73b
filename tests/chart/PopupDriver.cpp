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

bool MenuClosedWithin(HWND window, DWORD boundMs)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= boundMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
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
    : thread([this, rightClickAt, choose] { Drive(rightClickAt, choose); })
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
    testutil::PumpFor(100);
    return finished;
}

void PopupDriver::Drive(std::optional<POINT> rightClickAt, int choose)
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
        item.checked = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0;
        items.push_back(item);
    }
    if (choose == CLOSE_WITH_ESCAPE) {
        // Into the menu's own queue: a key typed on the shared display could
        // reach another test's window.
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        ClickMenuItem(menu, choose);
        // On a busy machine the menu can show before the display takes
        // clicks on it; a click that was lost is given once more.
        if (!MenuClosedWithin(window, CLICK_TAKEN_MS)) {
            ClickMenuItem(menu, choose);
        }
    }
    // A menu still open would keep its loop running on the test's thread:
    // closed here, the test fails on what it expected rather than waiting
    // for the run's time-out.
    if (!MenuClosedWithin(window, MENU_WAIT_MS)) {
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
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
