// A button of the capture toolbar that never activates its window: a click
// on a standard button sets the focus and so activates the toolbar, taking
// the keyboard from the program the user works in. The template's
// owner-drawn button is subclassed; it tracks the press itself and draws
// itself, and tells its parent BN_CLICKED on a release over it.
#pragma once

#include "ui/Wnd.h"

class CToolbarButton : public CWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnLButtonDown();
    void OnMouseMove(POINT point);
    void OnLButtonUp(POINT point);
    void OnCaptureChanged();
    void OnDrawItem(const DRAWITEMSTRUCT& item) const;
    bool IsOver(POINT point) const;
    void SetPressed(bool now);

    bool pressed = false;
};
