#include "capture/SelectDisplayDlg.h"

#include "res/resource.h"
#include "ui/ResString.h"

#include <commctrl.h>

namespace {

constexpr int MONITOR_IMAGE_WIDTH = 200;
constexpr int IMAGE_LIST_GROWTH = 1;
constexpr COLORREF MONITOR_IMAGE_BACKGROUND = RGB(255, 255, 255);
constexpr int MONITOR_IMAGE = 0;

} // namespace

CSelectDisplayDlg::CSelectDisplayDlg(const std::vector<SMonitorEntry>* monitors)
    : CDialogEx(IDD_SELECT_DISPLAY_DIALOG), monitors(monitors)
{
}

BOOL CSelectDisplayDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    list.SubclassDlgItem(IDC_MONITOR_LIST, this);
    // Without the picture the rows still show their names.
    if (imageList.Create(IDB_MONITOR, MONITOR_IMAGE_WIDTH, IMAGE_LIST_GROWTH, MONITOR_IMAGE_BACKGROUND)) {
        list.SetImageList(imageList, LVSIL_NORMAL);
    }
    list.InsertColumn(0, std::wstring(), LVCFMT_CENTER | LVCFMT_IMAGE, MONITOR_IMAGE_WIDTH);
    FillMonitorList();
    return TRUE;
}

bool CSelectDisplayDlg::FillMonitorList()
{
    if (monitors == nullptr) {
        return false;
    }
    const std::wstring name = LoadResString(IDS_MONITOR);
    for (size_t i = 0; i < monitors->size(); ++i) {
        const int row = static_cast<int>(i);
        list.InsertItem(row, name + L" " + std::to_wstring(row), MONITOR_IMAGE);
    }
    if (list.GetItemCount() > 0) {
        list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        list.SetSelectionMark(0);
    }
    return true;
}

LRESULT CSelectDisplayDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && (lParam == 0 || HIWORD(wParam) == BN_CLICKED)) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnBnClickedOk();
            return 0;
        case IDCANCEL:
            OnBnClickedCancel();
            return 0;
        default:
            break;
        }
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

void CSelectDisplayDlg::OnBnClickedOk()
{
    result = list.GetSelectionMark();
    EndDialog(IDOK);
}

void CSelectDisplayDlg::OnBnClickedCancel()
{
    result = -1;
    EndDialog(IDCANCEL);
}
