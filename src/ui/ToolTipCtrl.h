// The common controls' tooltip control, owned: the window is destroyed with
// the object unless its owner window took it along first.
//
// The tools are rectangles of the owner window's client area, identified by
// the owner and an id, without subclassing: the owner passes its mouse
// messages on with RelayEvent (from its PreTranslateMessage). A tool added
// with LPSTR_TEXTCALLBACKW asks its owner for the text with WM_NOTIFY
// TTN_NEEDTEXTW (NMTTDISPINFOW) each time it shows.
#pragma once

#include "ui/Wnd.h"

#include <commctrl.h>

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;
    ~CToolTipCtrl();

    // Creates the control owned by `parent` with the TTS_ styles in `style`
    // (it is a pop-up window above its owner and goes with it).
    bool Create(CWnd* parent, DWORD style = 0);
    HWND GetSafeHwnd() const { return window; }

    void Activate(bool active);
    // `which` is TTDT_INITIAL, TTDT_AUTOPOP, TTDT_RESHOW or TTDT_AUTOMATIC.
    void SetDelayTime(DWORD which, int milliseconds);
    // Wider texts wrap at this width, and "\n" breaks lines.
    void SetMaxTipWidth(int pixels);
    // The font stays the caller's: it must outlive the control.
    void SetFont(HFONT font, bool redraw = true);

    // Adds the tool `id` of `owner`: `rect` in the owner's client
    // coordinates, `text` a text or LPSTR_TEXTCALLBACKW.
    bool AddTool(CWnd* owner, const RECT& rect, UINT_PTR id, const wchar_t* text = LPSTR_TEXTCALLBACKW);
    void DelTool(CWnd* owner, UINT_PTR id);
    int GetToolCount() const;

    // Hands a mouse message of a tool's owner to the control.
    void RelayEvent(MSG* msg);
    // Hides a tip on show; the next one asks for its text again.
    void Pop();

private:
    HWND window = nullptr;
};
