#include "ui/Wnd.h"

#include <vector>

CWnd::~CWnd() { Unbind(); }

CWnd* CWnd::FromHandle(HWND window)
{
    if (window == nullptr) {
        return nullptr;
    }
    DWORD process = 0;
    if (GetWindowThreadProcessId(window, &process) != GetCurrentThreadId()) {
        return nullptr;
    }
    return reinterpret_cast<CWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool CWnd::PreTranslateChain(MSG* msg)
{
    for (HWND window = msg->hwnd; window != nullptr; window = GetParent(window)) {
        CWnd* object = FromHandle(window);
        if (object != nullptr && object->PreTranslateMessage(msg)) {
            return true;
        }
        if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
            break;
        }
    }
    return false;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

std::wstring CWnd::GetWindowText() const
{
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void CWnd::SetWindowText(const std::wstring& text) { ::SetWindowTextW(hwnd, text.c_str()); }

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) { return Default(); }

LRESULT CWnd::Default() { return DefaultProc(current.message, current.wParam, current.lParam); }

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CWnd::Bind(HWND window)
{
    hwnd = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Unbind()
{
    if (hwnd != nullptr && FromHandle(hwnd) == this) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    hwnd = nullptr;
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    const CurrentMessage outer = current;
    current = {message, wParam, lParam};
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        // No exception may unwind through the system's frames.
        result = 0;
    }
    current = outer;
    return result;
}
