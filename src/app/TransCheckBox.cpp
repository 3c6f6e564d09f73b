#include "app/TransCheckBox.h"

#include <uxtheme.h>

namespace {

constexpr COLORREF kLabelColour = RGB(255, 255, 255);

} // namespace

LRESULT CTransCheckBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_KILLFOCUS:
    case BM_SETCHECK:
    case BM_SETSTATE: {
        const LRESULT result = Default();
        RepaintOverParent();
        return result;
    }
    default:
        return CButton::WindowProc(message, wParam, lParam);
    }
}

BOOL CTransCheckBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result)
{
    switch (message) {
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam), message));
        return TRUE;
    default:
        return FALSE;
    }
}

void CTransCheckBox::PreSubclassWindow()
{
    SetWindowTheme(hwnd, L"", L"");
    CButton::PreSubclassWindow();
}

HBRUSH CTransCheckBox::CtlColor(HDC dc, UINT)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kLabelColour);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CTransCheckBox::RepaintOverParent()
{
    // The label is drawn without erasing: what it drew before (the focus
    // rectangle, the pressed look) stays unless the parent paints the
    // background under it first.
    const HWND parent = GetParent(hwnd);
    RECT place{};
    if (parent == nullptr || !GetWindowRect(hwnd, &place)) {
        return;
    }
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    InvalidateRect(parent, &place, FALSE);
    InvalidateRect(hwnd, nullptr, FALSE);
}
