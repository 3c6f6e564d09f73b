// The window layer: one C++ object per window, bound to its HWND.
//
// What the layer offers, one header each:
//   Wnd.h            CWnd: binding, dispatch, default processing, reflection
//   Dialog.h         CDialogEx: dialogs from templates, our modal loop
//   DialogPlacement.h where a dialog opens when its template leaves it open
//   Static.h         CStatic: a static control of our own class
//   Button.h         CButton: a button or check box of a template
//   ToolTipCtrl.h    CToolTipCtrl: the common-controls tooltip
//   WinApp.h         CWinApp and RunApplication, the run routine
//   ExceptionGuard.h CallGuarded, the guard of every Win32 entry point
//   ResString.h      string-table texts and ShowMessageBox
//   CommandLineInfo.h the walk over the program's arguments
//   Handles.h, Sync.h, GdiHandles.h, ClipboardHandles.h, GdiplusPtr.h
//                    owners of kernel, GDI, clipboard and GDI+ resources
//
// A class overrides WindowProc and switches on the message into its named
// handlers; whatever it does not handle goes to Default(), which returns the
// default processing's result of the kind of window the object is bound to
// (a handler may take that result and change it, as for WM_NCHITTEST).
//
// An object is bound in one of three ways, and stays bound until the window's
// WM_NCDESTROY, after which PostNcDestroy runs and the layer does not touch
// the object again:
// - a window of our own class (RegisterWindowClass), created by CreateEx and
//   bound at WM_NCCREATE, so it sees every message from WM_NCCREATE on;
// - a dialog (CDialogEx), bound at WM_INITDIALOG;
// - an existing window, typically a template control, subclassed by
//   SubclassWindow or SubclassDlgItem; its default processing is the
//   control's own.
// Bindings are kept in a per-thread table of our own, never in the window's
// GWLP_USERDATA, which controls and other libraries use for their own data.
//
// The parent reflects WM_DRAWITEM, WM_MEASUREITEM, the WM_CTLCOLOR messages
// and WM_NOTIFY to the object of the child control they concern: that
// object's OnChildNotify sees them first, and when it handles them the
// parent's WindowProc does not.
//
// Every message reaches the object through the shared exception guard
// (ui/ExceptionGuard.h).
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // Ends the binding; a window the object created (CreateEx, a dialog's
    // Create) is destroyed with it.
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return hwnd; }

    // The object bound to a window of this thread, or null.
    static CWnd* FromHandle(HWND window);

    // Gives the window and then each of its parents the chance to consume a
    // message before it is dispatched; true when one of them did.
    static bool PreTranslateChain(MSG* msg);

    virtual BOOL PreTranslateMessage(MSG* msg);

    // Registers a window class of this module whose windows run the layer's
    // procedure; true also when it was registered before.
    static bool RegisterWindowClass(const wchar_t* className, UINT classStyle = CS_HREDRAW | CS_VREDRAW);

    // Creates a window of a class registered with RegisterWindowClass (or a
    // superclass of ours) bound to this object from WM_NCCREATE on. `parent`
    // may be null; `id` is the child id of a child window.
    bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect,
                  HWND parent, UINT id = 0);

    // Binds this object to an existing window of this thread through
    // SetWindowSubclass; the window's own procedure stays its default
    // processing. False when the window is bound already.
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(UINT id, CWnd* parent);

    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text);

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default processing of the message being dispatched, and its result.
    LRESULT Default();

    // Runs when SubclassWindow has bound the object to an existing window,
    // before the window's next message reaches it.
    virtual void PreSubclassWindow();

    // A message the parent reflects to this child control's object; true
    // when handled, with the parent's answer in `result`.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Runs after WM_NCDESTROY, when the window is gone and the binding has
    // ended; the layer does not touch the object afterwards, so a modeless
    // window may delete itself here.
    virtual void PostNcDestroy();

    // How an object of a superclass (a class of ours over a system control
    // class) reaches its messages: the superclass's procedure calls this with
    // the system class's procedure as `baseProc`.
    static LRESULT RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC baseProc);

    HWND hwnd = nullptr;

private:
    friend class CDialogEx;

    enum class Binding { None, OwnClass, Subclass };

    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR object);

    bool Bind(HWND window, Binding how, WNDPROC baseProc);
    void Unbind();
    LRESULT Receive(UINT message, WPARAM wParam, LPARAM lParam);
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage current{};
    Binding binding = Binding::None;
    WNDPROC baseProc = nullptr;
    bool ownsWindow = false;
};
