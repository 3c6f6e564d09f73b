#include "capture/ToolbarButton.h"

#include "ui/GdiHandles.h"

#include <windowsx.h>

#include <string>

LRESULT CToolbarButton::WindowProc(UINT message, WPARAM, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(point);
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged();
        return 0;
    default:
        return Default();
    }
}

BOOL CToolbarButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_DRAWITEM) {
        return FALSE;
    }
    OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return TRUE;
}

void CToolbarButton::OnLButtonDown()
{
    SetCapture(hwnd);
    SetPressed(true);
}

void CToolbarButton::OnMouseMove(POINT point)
{
    if (GetCapture() == hwnd) {
        SetPressed(IsOver(point));
    }
}

void CToolbarButton::OnLButtonUp(POINT point)
{
    if (GetCapture() != hwnd) {
        return;
    }
    const bool click = pressed && IsOver(point);
    ReleaseCapture();
    if (click) {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
    }
}

void CToolbarButton::OnCaptureChanged()
{
    // Also when the toolbar takes the mouse over for a drag: no click then.
    SetPressed(false);
}

bool CToolbarButton::IsOver(POINT point) const
{
    RECT client;
    GetClientRect(hwnd, &client);
    return PtInRect(&client, point) != FALSE;
}

void CToolbarButton::SetPressed(bool now)
{
    if (pressed != now) {
        pressed = now;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void CToolbarButton::OnDrawItem(const DRAWITEMSTRUCT& item) const
{
    RECT face = item.rcItem;
    FillRect(item.hDC, &face, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(item.hDC, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    if (pressed) {
        OffsetRect(&face, 1, 1);
    }
    const std::wstring text = GetWindowText();
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (font == nullptr) {
        font = GetStockObject(DEFAULT_GUI_FONT);
    }
    const ObjectSelection selectedFont(item.hDC, font);
    const int previousMode = SetBkMode(item.hDC, TRANSPARENT);
    const COLORREF previousColor = SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &face, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(item.hDC, previousColor);
    SetBkMode(item.hDC, previousMode);
}
