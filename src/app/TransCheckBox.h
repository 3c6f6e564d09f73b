// A check box whose white label is drawn straight onto whatever its parent
// painted behind it (the main window's tiled background). Visual styles are
// switched off so that the control asks its parent for its colours, and the
// parent reflects that request here.
#pragma once

#include "ui/Button.h"

class CTransCheckBox : public CButton {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

private:
    HBRUSH CtlColor(HDC dc, UINT kind);
    // Has the parent paint its background under the box, then the box.
    void RepaintOverParent();
};
