// The about box of the main window's system menu: the program's name,
// version and platform.
#pragma once

#include "ui/Dialog.h"

class CAboutDlg : public CDialogEx {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
};
