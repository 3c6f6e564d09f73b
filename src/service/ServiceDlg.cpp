#include "service/ServiceDlg.h"

#include "res/resource.h"

CServiceDlg::CServiceDlg() : CDialogEx(IDD_SERVICE_DIALOG) {}

BOOL CServiceDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    SetWindowPos(hwnd, HWND_TOP, -1000, -1000, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}
