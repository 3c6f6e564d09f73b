// The only window of the service mode: a dialog that keeps out of the
// user's way, off the screen and without a task-bar button.
#pragma once

#include "ui/Dialog.h"

class CServiceDlg : public CDialogEx {
public:
    CServiceDlg();

protected:
    BOOL OnInitDialog() override;
};
