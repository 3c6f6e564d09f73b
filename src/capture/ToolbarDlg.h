// The floating capture toolbar: stays above every window without taking the
// focus, is dragged by pressing anywhere on it, and asks the chart for a
// capture of the stored region ("擷取X光") or lets the user pick the region
// ("設定"). The short mode shows only those two buttons; the full mode also
// "關閉", which ends the message loop, and "檢視結果", which opens the last
// captured image and findings text.
//
// The toolbar is modeless: whichever of our modal loops runs pre-translates
// its messages, which is where a press turns into a drag.
#pragma once

#include "capture/MonitorDlg.h"
#include "capture/ToolbarButton.h"
#include "ui/Dialog.h"

#include <string>

class CToolbarDlg : public CDialogEx {
public:
    // Presses that move at least this far (horizontal plus vertical pixels)
    // drag the toolbar instead of clicking.
    static constexpr LONG DRAG_THRESHOLD = 10;

    CToolbarDlg();

    // Creates the hidden toolbar window. `notifyWnd` receives the capture
    // request; a null `parent` stands for the desktop: the toolbar is then
    // owned by no window. A toolbar is created once.
    virtual BOOL CreateToolbar(HWND notifyWnd, CWnd* parent, BOOL fullMode);

    BOOL PreTranslateMessage(MSG* msg) override;

    void OnBnClickedCapture();
    void OnBnClickedSetting();
    void OnBnClickedClose();
    void OnBnClickedViewResult();
    void OnCaptureRegionSetting();

    HWND notifyWnd = nullptr;
    POINT dragAnchor{};
    CMonitorDlg monitorDlg;
    std::wstring findingsText;      // of the last capture, set by the chart
    std::wstring capturedImagePath; // of the last capture, set by the chart
    BOOL fullMode = FALSE;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    // Enter and Esc leave the toolbar as it is.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnCommand(UINT id);
    void OnMouseMove(UINT flags);
    void OnLButtonUp();
    void OnCaptureChanged();
    void BeginDrag(POINT cursor);
    void MoveWithCursor(POINT cursor);
    // Runs the picker and stores what it returns.
    void PickCaptureRegion();

    static constexpr int BUTTON_COUNT = 4;
    CToolbarButton buttons[BUTTON_COUNT];
    bool pressedHere = false; // the left button went down on the toolbar
    bool dragging = false;
    POINT dragWindowStart{}; // the window's top-left when the drag began
};
