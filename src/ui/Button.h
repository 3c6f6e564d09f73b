// A button of a dialog template (push button, check box), bound by
// SubclassDlgItem; the few button operations our controls and dialogs use.
#pragma once

#include "ui/Wnd.h"

class CButton : public CWnd {
public:
    // BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
    int GetCheck() const;
    void SetCheck(int state);
};
