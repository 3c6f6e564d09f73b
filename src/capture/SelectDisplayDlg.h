// The monitor chooser of the region picker: one row per monitor, left first,
// each with the monitor picture; the first row is selected at the start.
#pragma once

#include "capture/MonitorEntry.h"
#include "ui/Dialog.h"
#include "ui/ImageList.h"
#include "ui/ListCtrl.h"

#include <cstdint>
#include <vector>

class CSelectDisplayDlg : public CDialogEx {
public:
    // `monitors` stays the caller's and must outlive the dialog; null gives
    // an empty list.
    explicit CSelectDisplayDlg(const std::vector<SMonitorEntry>* monitors);

    // One row per monitor, "Monitor 0" leftmost; false without a list.
    bool FillMonitorList();

    CListCtrl list;
    CImageList imageList;
    const std::vector<SMonitorEntry>* monitors;
    int32_t result = -1; // the chosen row; -1 for none

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

private:
    void OnBnClickedOk();
    void OnBnClickedCancel();
};
