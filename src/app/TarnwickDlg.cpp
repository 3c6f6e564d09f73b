#include "app/TarnwickDlg.h"

#include "app/AppIds.h"
#include "res/resource.h"
#include "ui/ResString.h"

#include <utility>

CTarnwickDlg::CTarnwickDlg()
    : CDialogEx(IDD_TARNWICK_DIALOG), hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

LRESULT CTarnwickDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_CLOSE:
        OnClose();
        return Default();
    case WM_COPYDATA:
        OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return Default();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(hIcon);
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

BOOL CTarnwickDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    if (!pendingFilePath.empty()) {
        StartOpenFileTimer();
    }
    return TRUE;
}

// Enter never ends the main window.
void CTarnwickDlg::OnOK() {}

bool CTarnwickDlg::StartOpenFileTimer()
{
    if (openFileTimerId != 0) {
        return true;
    }
    openFileTimerId = SetTimer(hwnd, TIMER_OPEN_FILE, kOpenFileDelayMs, nullptr);
    return openFileTimerId != 0;
}

void CTarnwickDlg::StopOpenFileTimer()
{
    if (openFileTimerId != 0) {
        KillTimer(hwnd, openFileTimerId);
        openFileTimerId = 0;
    }
}

void CTarnwickDlg::OnOpenImage(const std::wstring& path)
{
    SetWindowText(LoadResString(IDS_MAIN_TITLE) + L" - " + path);
}

void CTarnwickDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == openFileTimerId && openFileTimerId != 0) {
        // Opening runs nested message loops, in which the next hand-off may
        // arrive: it must find no pending path and no timer of this one.
        const std::wstring path = std::move(pendingFilePath);
        pendingFilePath.clear();
        StopOpenFileTimer();
        OnOpenImage(path);
    }
}

void CTarnwickDlg::OnClose() { StopOpenFileTimer(); }

BOOL CTarnwickDlg::OnCopyData(HWND, const COPYDATASTRUCT* data)
{
    if (data == nullptr || data->dwData != 0 || data->lpData == nullptr) {
        return FALSE;
    }
    // The text ends at its first NUL but never beyond cbData bytes.
    const auto* text = static_cast<const wchar_t*>(data->lpData);
    const size_t maxUnits = data->cbData / sizeof(wchar_t);
    size_t length = 0;
    while (length < maxUnits && text[length] != L'\0') {
        ++length;
    }
    // An empty text names nothing and must not displace a pending path.
    if (length == 0) {
        return FALSE;
    }
    pendingFilePath.assign(text, length);
    StartOpenFileTimer();
    return TRUE;
}
