// A static control whose window runs the layer's procedure from its creation
// on: a superclass of the system's static control. A derived class (the
// tooth chart) therefore sees WM_NCCREATE and WM_CREATE in its WindowProc,
// which a control subclassed after creation never does; Default() is the
// static control's own processing.
#pragma once

#include "ui/Wnd.h"

class CStatic : public CWnd {
public:
    // Creates the control as a child window of `parent` (WS_CHILD is added
    // to `style`) with the child id `id`; false when it could not be created
    // or its WM_CREATE answered -1.
    bool Create(DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);

private:
    static bool RegisterSuperclass();
    static LRESULT CALLBACK SuperclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static WNDPROC staticControlProc;
};
