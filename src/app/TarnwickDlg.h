// The main window of the program. It takes image paths from the command line
// and from later starts of the program (WM_COPYDATA) and opens each from a
// short one-shot timer, after the messages already queued.
#pragma once

#include "ui/Dialog.h"

#include <string>

class CTarnwickDlg : public CDialogEx {
public:
    CTarnwickDlg();

    virtual bool StartOpenFileTimer();
    virtual void StopOpenFileTimer();

    virtual void OnOpenImage(const std::wstring& path);

    std::wstring pendingFilePath;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnTimer(UINT_PTR timerId);
    void OnClose();
    BOOL OnCopyData(HWND sender, const COPYDATASTRUCT* data);

    HICON hIcon;
    UINT_PTR openFileTimerId = 0;
};
