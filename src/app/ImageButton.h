// A push button drawn entirely from four images, one per visual state. The
// template's owner-drawn button is subclassed; its parent reflects
// WM_DRAWITEM to it. The button owns its images and releases them when it is
// destroyed, so it must go before GDI+ is shut down.
#pragma once

#include "ui/Button.h"
#include "ui/GdiplusPtr.h"

class CImageButton : public CButton {
public:
    // The states of SetStateImage, named as the image files are.
    enum State { Normal = 0, Highlight = 1, Click = 2, Disable = 3 };

    // Replaces the image of `state` by the one in the file at `path`; any
    // other state does nothing. A file that cannot be loaded leaves an image
    // that draws nothing.
    void SetStateImage(int state, const wchar_t* path);

    // The mouse is over the button.
    bool hover = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

private:
    void OnMouseMove();
    void OnMouseHover();
    void OnMouseLeave();
    Gdiplus::Image* ImageFor(UINT itemState) const;

    GdiplusPtr<Gdiplus::Image> normalImage;
    GdiplusPtr<Gdiplus::Image> highlightImage;
    GdiplusPtr<Gdiplus::Image> clickImage;
    GdiplusPtr<Gdiplus::Image> disableImage;
};
