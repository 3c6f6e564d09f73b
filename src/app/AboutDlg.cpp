#include "app/AboutDlg.h"

#include "res/resource.h"
#include "ui/ResString.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogEx(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SetWindowText(LoadResString(IDS_ABOUT_CAPTION));
    // The template's first control without an id holds the version text.
    SetDlgItemTextW(hwnd, IDC_STATIC, (LoadResString(IDS_ABOUT_VERSION) + LoadResString(IDS_ABOUT_PLATFORM)).c_str());
    return TRUE;
}
