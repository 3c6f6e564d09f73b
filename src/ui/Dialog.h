// Dialogs from templates in the resources, run by our own modal loop so that
// every message first passes PreTranslateMessage of its window and that
// window's parents, then IsDialogMessage.
#pragma once

#include "ui/Wnd.h"

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // window could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; its messages pass the same pre-translation
    // in whichever modal loop runs.
    bool Create();

    void EndDialog(INT_PTR result);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd, id); }

    // Pumps one message the way the modal loop does; false on WM_QUIT.
    static bool PumpMessage();

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CWnd* parent;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId;
    bool ended = false;
    INT_PTR modalResult = 0;
    bool defaultWanted = false;
};
