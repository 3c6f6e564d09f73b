// The window layer: one C++ object per window, bound to its HWND.
//
// A class overrides WindowProc and switches on the message into its named
// handlers; whatever it does not handle goes to Default(), which is the
// default processing of the kind of window the object is bound to.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return hwnd; }

    // The object bound to a window of this thread, or null.
    static CWnd* FromHandle(HWND window);

    // Gives the window and then each of its parents the chance to consume a
    // message before it is dispatched; true when one of them did.
    static bool PreTranslateChain(MSG* msg);

    virtual BOOL PreTranslateMessage(MSG* msg);

    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text);

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default processing of the message being dispatched.
    LRESULT Default();

    void Bind(HWND window);
    void Unbind();
    // The message that reaches the object; keeps the current message for Default().
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd = nullptr;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage current{};
};
