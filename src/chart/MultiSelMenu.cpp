#include "chart/MultiSelMenu.h"

#include "ui/ExceptionGuard.h"

CWnd* g_multiSelOwner = nullptr;
HMENU g_multiSelMenu = nullptr;
HHOOK g_multiSelHook = nullptr;
uint32_t g_multiSelItem = 0;

namespace {

void ToggleSelectedItem(HWND menuWindow)
{
    if (g_multiSelMenu == nullptr) {
        return;
    }
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    GetMenuItemInfoW(g_multiSelMenu, g_multiSelItem, FALSE, &item);
    item.fState ^= MFS_CHECKED;
    SetMenuItemInfoW(g_multiSelMenu, g_multiSelItem, FALSE, &item);
    // The menu window would keep showing the old mark.
    InvalidateRect(menuWindow, nullptr, FALSE);
}

} // namespace

void NoteMultiSelMenuSelect(WPARAM wParam, LPARAM lParam)
{
    g_multiSelMenu = reinterpret_cast<HMENU>(lParam);
    g_multiSelItem = LOWORD(wParam);
}

// A release neither chooses the item nor closes the menu, and a double click
// does nothing: the hook answers that it handled them, and the menu loop
// drops them unseen. Rewriting them as WM_NULL would not do: the loop then
// takes whatever message comes first off the queue in their place, and when
// a message was posted meanwhile (while the owner handled the toggle, say)
// the release stays behind and toggles the item a second time.
LRESULT CALLBACK MultiSelMenuFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallGuarded<LRESULT>(0, [&]() -> LRESULT {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (code == MSGF_MENU && msg != nullptr) {
            switch (msg->message) {
            case WM_MENUSELECT:
                NoteMultiSelMenuSelect(msg->wParam, msg->lParam);
                break;
            case WM_LBUTTONUP:
                ToggleSelectedItem(msg->hwnd);
                if (g_multiSelOwner != nullptr && g_multiSelOwner->GetSafeHwnd() != nullptr) {
                    SendMessageW(g_multiSelOwner->GetSafeHwnd(), WM_COMMAND, g_multiSelItem, 0);
                }
                return TRUE;
            case WM_LBUTTONDBLCLK:
                return TRUE;
            default:
                break;
            }
        }
        return CallNextHookEx(g_multiSelHook, code, wParam, lParam);
    });
}

CMultiSelMenu::~CMultiSelMenu()
{
    if (menu != nullptr) {
        DestroyMenu(menu);
    }
}

bool CMultiSelMenu::CreatePopupMenu()
{
    if (menu == nullptr) {
        menu = ::CreatePopupMenu();
    }
    return menu != nullptr;
}

bool CMultiSelMenu::AppendCheckItem(UINT id, const std::wstring& text, bool checked)
{
    return AppendMenuW(menu, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), id, text.c_str()) != FALSE;
}

bool CMultiSelMenu::IsChecked(UINT id) const
{
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    return GetMenuItemInfoW(menu, id, FALSE, &item) && (item.fState & MFS_CHECKED) != 0;
}

bool CMultiSelMenu::Track(CWnd* owner, POINT screenPoint)
{
    if (menu == nullptr || g_multiSelHook != nullptr || g_multiSelOwner != nullptr) {
        return false;
    }
    g_multiSelOwner = owner;
    // A selection reported by an earlier menu names a menu that is gone.
    g_multiSelMenu = nullptr;
    g_multiSelItem = 0;
    g_multiSelHook = SetWindowsHookExW(WH_MSGFILTER, MultiSelMenuFilterProc, nullptr, GetCurrentThreadId());
    bool tracked = false;
    if (g_multiSelHook != nullptr) {
        tracked = TrackPopupMenu(menu, 0, screenPoint.x, screenPoint.y, 0, owner->GetSafeHwnd(), nullptr) != FALSE;
        UnhookWindowsHookEx(g_multiSelHook);
        g_multiSelHook = nullptr;
    }
    g_multiSelOwner = nullptr;
    return tracked;
}

void CMultiSelMenu::EndTracking(const CWnd* owner)
{
    // A cancel to the owner: the menu loop takes it at its next turn and
    // ends; one that arrives after the loop ended does nothing. EndMenu would
    // end the loop too, but under Wine a later menu then closed as soon as it
    // opened.
    if (owner != nullptr && g_multiSelOwner == owner && owner->GetSafeHwnd() != nullptr) {
        PostMessageW(owner->GetSafeHwnd(), WM_CANCELMODE, 0, 0);
    }
}
