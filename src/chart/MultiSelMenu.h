// A popup check menu in which a click toggles an item's mark without closing
// the menu. The toggle lives in a message-filter hook of the tracking thread;
// the four variables below tell the hook which menu and item are meant, and
// guard against a second such menu being tracked in the process.
#pragma once

#include "ui/Wnd.h"

#include <windows.h>

#include <cstdint>
#include <string>

extern CWnd* g_multiSelOwner;   // the window tracking the menu, null when none
extern HMENU g_multiSelMenu;    // the menu that last reported a selection
extern HHOOK g_multiSelHook;    // the installed hook, null when none
extern uint32_t g_multiSelItem; // command id of the item last selected

LRESULT CALLBACK MultiSelMenuFilterProc(int code, WPARAM wParam, LPARAM lParam);

// The owner's WM_MENUSELECT while it tracks the menu. Some systems send the
// notice only to the owner window and never show it to the hook.
void NoteMultiSelMenuSelect(WPARAM wParam, LPARAM lParam);

class CMultiSelMenu {
public:
    CMultiSelMenu() = default;
    CMultiSelMenu(const CMultiSelMenu&) = delete;
    CMultiSelMenu& operator=(const CMultiSelMenu&) = delete;
    ~CMultiSelMenu();

    bool CreatePopupMenu();
    bool AppendCheckItem(UINT id, const std::wstring& text, bool checked);
    bool IsChecked(UINT id) const;
    HMENU GetSafeHmenu() const { return menu; }

    // Tracks the menu at `screenPoint` with `owner` as the owner window until
    // it closes. False, with nothing shown, while another multi-select menu
    // is tracked or when the hook cannot be installed; otherwise what
    // TrackPopupMenu answered.
    bool Track(CWnd* owner, POINT screenPoint);
    // Closes the menu `owner` tracks, if any: its loop ends when it next
    // takes a message, before anything is repainted.
    static void EndTracking(const CWnd* owner);

private:
    HMENU menu = nullptr;
};
