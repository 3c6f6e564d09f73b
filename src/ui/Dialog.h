// Dialogs from templates in the resources, run by our own modal loop so that
// every message first passes PreTranslateMessage of its window and that
// window's parents, then IsDialogMessage. Keys for a window whose top-level
// window is disabled (the owner of a running modal dialog) go nowhere.
//
// A dialog whose template leaves its place open opens centred on its owner
// (ui/DialogPlacement.h).
//
// A dialog is bound at WM_INITDIALOG and from then on its messages reach
// WindowProc as those of any window (results are returned, not put in
// DWLP_MSGRESULT); Default() runs the dialog manager's own processing.
#pragma once

#include "ui/Wnd.h"

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally and returns the value given to EndDialog, or
    // -1 when the window could not be created, was destroyed from outside,
    // or a quit message ended the loop (the quit stays queued for the loop
    // outside; the outermost modal loop of the thread takes it).
    //
    // The owner is the top-level window of `parent`, else of the active
    // window, else of the application's main window; it is disabled while the
    // dialog runs and activated again afterwards when the dialog was active.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, owned by `parent`; its messages pass the
    // same pre-translation in whichever modal loop runs.
    bool Create();

    // Ends the modal loop once the current message is handled.
    void EndDialog(INT_PTR result);
    // The modal loop runs and nothing has asked it to end yet.
    bool IsModalRunning() const { return runningModal && !ended; }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd, id); }

    // Pumps one message the way the modal loop does; false on WM_QUIT, which
    // is posted again for the loop outside.
    static bool PumpMessage();

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CWnd* parent;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Centres the dialog after WM_INITDIALOG when neither its template nor
    // its initialisation gave it a place (ui/DialogPlacement.h); `before` is
    // where the dialog manager had put it.
    void PlaceAfterInit(const RECT& before);
    HWND FindModalOwner() const;
    bool CreateOwnedBy(HWND owner);

    UINT templateId;
    bool ended = false;
    bool runningModal = false;
    INT_PTR modalResult = -1;
};
