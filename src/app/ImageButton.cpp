#include "app/ImageButton.h"

namespace {

// How long the mouse rests on the button before it counts as hovering.
constexpr DWORD kHoverTimeMs = 10;

} // namespace

void CImageButton::SetStateImage(int state, const wchar_t* path)
{
    GdiplusPtr<Gdiplus::Image>* slot = nullptr;
    switch (state) {
    case Normal:
        slot = &normalImage;
        break;
    case Highlight:
        slot = &highlightImage;
        break;
    case Click:
        slot = &clickImage;
        break;
    case Disable:
        slot = &disableImage;
        break;
    default:
        return;
    }
    slot->reset();
    if (path != nullptr) {
        *slot = MakeGdiplus<Gdiplus::Image>(path);
    }
}

LRESULT CImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEHOVER:
        OnMouseHover();
        return Default();
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return Default();
    case WM_MOUSEMOVE:
        OnMouseMove();
        return Default();
    default:
        return CButton::WindowProc(message, wParam, lParam);
    }
}

BOOL CImageButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (message != WM_DRAWITEM) {
        return FALSE;
    }
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return TRUE;
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    // A press arrives as a change of selection alone, and the Click image
    // must show while the button is held.
    if ((item.itemAction & (ODA_DRAWENTIRE | ODA_FOCUS | ODA_SELECT)) == 0) {
        return;
    }
    Gdiplus::Image* image = ImageFor(item.itemState);
    if (image == nullptr) {
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    Gdiplus::Graphics graphics(item.hDC);
    graphics.DrawImage(image, 0, 0, client.right - client.left, client.bottom - client.top);
}

Gdiplus::Image* CImageButton::ImageFor(UINT itemState) const
{
    if ((itemState & ODS_DISABLED) != 0) {
        return disableImage.get();
    }
    if ((itemState & ODS_SELECTED) != 0) {
        return clickImage.get();
    }
    if (hover || (itemState & ODS_FOCUS) != 0) {
        return highlightImage.get();
    }
    return normalImage.get();
}

void CImageButton::OnMouseMove()
{
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = hwnd;
    track.dwHoverTime = kHoverTimeMs;
    TrackMouseEvent(&track);
}

void CImageButton::OnMouseHover()
{
    if (!hover) {
        hover = true;
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

void CImageButton::OnMouseLeave()
{
    hover = false;
    InvalidateRect(hwnd, nullptr, TRUE);
}
