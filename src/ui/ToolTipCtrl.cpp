#include "ui/ToolTipCtrl.h"

namespace {

// The tool description without the field that only version 6 of the
// common controls knows, so that every version takes it.
TOOLINFOW ToolInfo(CWnd* owner, UINT_PTR id)
{
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = owner != nullptr ? owner->GetSafeHwnd() : nullptr;
    tool.uId = id;
    return tool;
}

} // namespace

CToolTipCtrl::~CToolTipCtrl()
{
    if (window != nullptr && IsWindow(window)) {
        DestroyWindow(window);
    }
}

bool CToolTipCtrl::Create(CWnd* parent, DWORD style)
{
    if (window != nullptr || parent == nullptr || parent->GetSafeHwnd() == nullptr) {
        return false;
    }
    window = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, parent->GetSafeHwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    return window != nullptr;
}

void CToolTipCtrl::Activate(bool active)
{
    SendMessageW(window, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

void CToolTipCtrl::SetDelayTime(DWORD which, int milliseconds)
{
    SendMessageW(window, TTM_SETDELAYTIME, which, MAKELPARAM(milliseconds, 0));
}

void CToolTipCtrl::SetMaxTipWidth(int pixels)
{
    SendMessageW(window, TTM_SETMAXTIPWIDTH, 0, pixels);
}

void CToolTipCtrl::SetFont(HFONT font, bool redraw)
{
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

bool CToolTipCtrl::AddTool(CWnd* owner, const RECT& rect, UINT_PTR id, const wchar_t* text)
{
    TOOLINFOW tool = ToolInfo(owner, id);
    tool.rect = rect;
    tool.lpszText = const_cast<wchar_t*>(text);
    return SendMessageW(window, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void CToolTipCtrl::DelTool(CWnd* owner, UINT_PTR id)
{
    TOOLINFOW tool = ToolInfo(owner, id);
    SendMessageW(window, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

int CToolTipCtrl::GetToolCount() const
{
    return static_cast<int>(SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0));
}

void CToolTipCtrl::RelayEvent(MSG* msg)
{
    SendMessageW(window, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

void CToolTipCtrl::Pop()
{
    SendMessageW(window, TTM_POP, 0, 0);
}
