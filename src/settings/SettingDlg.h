// The settings dialog: four of the stored settings, each a list of two
// choices. A choice is written into g_systemSetting as soon as it is made and
// marks the store changed only when the value changes; closing the dialog,
// with either button, undoes nothing. What a setting changes takes effect
// where it is next read (the toolbar choice at the next start).
#pragma once

#include "ui/Dialog.h"

class CSettingDlg : public CDialogEx {
public:
    explicit CSettingDlg(CWnd* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCbnSelchangeUpdateNotify();
    void OnCbnSelchangeMissEnd();
    void OnCbnSelchangeCaptureBar();
    void OnCbnSelchangeClipboardToken();
};
