#include "capture/ToolbarDlg.h"

#include "chart/ToothStaticListener.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "foundation/TextFile.h"
#include "res/resource.h"
#include "ui/ResString.h"
#include "ui/ShellOpen.h"

#include <objbase.h>

#include <cstdlib>
#include <utility>

namespace {

constexpr int BUTTON_IDS[] = {IDC_BTN_CAPTURE, IDC_BTN_SETTING, IDC_BTN_CLOSE, IDC_BTN_VIEW_RESULT};
constexpr wchar_t FINDINGS_EXTENSION[] = L".txt";

// A pop-up menu, destroyed with the object.
class PopupMenu {
public:
    PopupMenu() : menu(CreatePopupMenu()) {}
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    ~PopupMenu()
    {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
    }

    HMENU Get() const { return menu; }

private:
    HMENU menu;
};

bool HasCaptureRegion(const RECT& region)
{
    return region.right > region.left && region.bottom > region.top;
}

} // namespace

CToolbarDlg::CToolbarDlg() : CDialogEx(IDD_TOOLBAR_DIALOG) {}

BOOL CToolbarDlg::CreateToolbar(HWND notify, CWnd* owner, BOOL full)
{
    if (hwnd != nullptr) {
        return FALSE;
    }
    notifyWnd = notify;
    fullMode = full;
    parent = owner;
    return Create() ? TRUE : FALSE;
}

BOOL CToolbarDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    for (int i = 0; i < BUTTON_COUNT; ++i) {
        buttons[i].SubclassDlgItem(BUTTON_IDS[i], this);
    }
    const HWND close = GetDlgItem(IDC_BTN_CLOSE);
    const HWND viewResult = GetDlgItem(IDC_BTN_VIEW_RESULT);
    if (!fullMode && close != nullptr && viewResult != nullptr) {
        RECT buttonRect;
        RECT windowRect;
        GetWindowRect(viewResult, &buttonRect);
        GetWindowRect(hwnd, &windowRect);
        ShowWindow(close, SW_HIDE);
        ShowWindow(viewResult, SW_HIDE);
        SetWindowPos(hwnd, nullptr, 0, 0, windowRect.right - windowRect.left,
                     (windowRect.bottom - windowRect.top) - (buttonRect.bottom - buttonRect.top),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // FALSE: the dialog manager would otherwise put the focus on the first
    // button, which activates the toolbar and takes the keyboard from the
    // program the user works in.
    return FALSE;
}

BOOL CToolbarDlg::PreTranslateMessage(MSG* msg)
{
    switch (msg->message) {
    case WM_LBUTTONDOWN:
        dragAnchor = msg->pt;
        pressedHere = true;
        break;
    case WM_LBUTTONUP:
        pressedHere = false;
        break;
    case WM_MOUSEMOVE:
        if ((msg->wParam & MK_LBUTTON) == 0) {
            pressedHere = false;
        } else if (pressedHere && !dragging &&
                   std::labs(dragAnchor.x - msg->pt.x) + std::labs(dragAnchor.y - msg->pt.y) >= DRAG_THRESHOLD) {
            BeginDrag(msg->pt);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

void CToolbarDlg::BeginDrag(POINT cursor)
{
    // The pressed button loses the mouse and with it the click. Moving the
    // window ourselves, rather than through the caption, keeps it from being
    // activated.
    ReleaseCapture();
    RECT windowRect;
    GetWindowRect(hwnd, &windowRect);
    dragWindowStart = POINT{windowRect.left, windowRect.top};
    SetCapture(hwnd);
    dragging = true;
    MoveWithCursor(cursor);
}

void CToolbarDlg::MoveWithCursor(POINT cursor)
{
    SetWindowPos(hwnd, nullptr, dragWindowStart.x + cursor.x - dragAnchor.x,
                 dragWindowStart.y + cursor.y - dragAnchor.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CToolbarDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BTN_CAPTURE:
        case IDC_BTN_SETTING:
        case IDC_BTN_CLOSE:
        case IDC_BTN_VIEW_RESULT:
        case ID_CAPTURE_REGION_SETTING:
            OnCommand(LOWORD(wParam));
            return 0;
        default:
            return CDialogEx::WindowProc(message, wParam, lParam);
        }
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam));
        return CDialogEx::WindowProc(message, wParam, lParam);
    case WM_LBUTTONUP:
        OnLButtonUp();
        return CDialogEx::WindowProc(message, wParam, lParam);
    case WM_CAPTURECHANGED:
        OnCaptureChanged();
        return CDialogEx::WindowProc(message, wParam, lParam);
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

void CToolbarDlg::OnMouseMove(UINT flags)
{
    if (dragging && (flags & MK_LBUTTON) == 0) {
        // The release went to another window.
        ReleaseCapture();
        dragging = false;
    } else if (dragging) {
        const DWORD position = GetMessagePos();
        MoveWithCursor(POINT{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))});
    }
}

void CToolbarDlg::OnLButtonUp()
{
    if (dragging) {
        ReleaseCapture();
    }
}

void CToolbarDlg::OnCaptureChanged()
{
    dragging = false;
}

void CToolbarDlg::OnCommand(UINT id)
{
    // The picker's modal loops leave the toolbar enabled (it has no owner):
    // while the picker runs, its overlay would be captured, or the picker
    // entered again under its open windows.
    if (monitorDlg.Running()) {
        return;
    }
    switch (id) {
    case IDC_BTN_CAPTURE:
        OnBnClickedCapture();
        break;
    case IDC_BTN_SETTING:
        OnBnClickedSetting();
        break;
    case IDC_BTN_CLOSE:
        OnBnClickedClose();
        break;
    case IDC_BTN_VIEW_RESULT:
        OnBnClickedViewResult();
        break;
    case ID_CAPTURE_REGION_SETTING:
        OnCaptureRegionSetting();
        break;
    default:
        break;
    }
}

void CToolbarDlg::OnBnClickedCapture()
{
    RECT& region = g_systemSetting.captureRect;
    if (!HasCaptureRegion(region)) {
        monitorDlg.EnumerateMonitors();
        if (!monitorDlg.monitors.empty()) {
            region = monitorDlg.monitors.front().rect;
            g_systemSetting.dirty = true;
        }
        if (!HasCaptureRegion(region)) {
            return;
        }
    }
    PostMessageW(notifyWnd, WM_CAPTURE_SCREEN, 0, 0);
}

void CToolbarDlg::OnBnClickedSetting()
{
    if (!fullMode) {
        PickCaptureRegion();
        return;
    }
    const PopupMenu menu;
    if (menu.Get() == nullptr || !AppendMenuW(menu.Get(), MF_STRING, ID_CAPTURE_REGION_SETTING,
                                              LoadResString(IDS_CAPTURE_REGION_SETTING).c_str())) {
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(menu.Get(), 0, cursor.x, cursor.y, 0, hwnd, nullptr);
}

void CToolbarDlg::OnCaptureRegionSetting()
{
    PickCaptureRegion();
}

void CToolbarDlg::PickCaptureRegion()
{
    RECT picked{};
    if (monitorDlg.SelectCaptureRegion(&picked)) {
        g_systemSetting.dirty = true;
        g_systemSetting.captureRect = picked;
    }
}

void CToolbarDlg::OnBnClickedClose()
{
    PostQuitMessage(0);
}

void CToolbarDlg::OnBnClickedViewResult()
{
    if (capturedImagePath.empty()) {
        return;
    }
    ShellOpen(capturedImagePath);
    GUID guid;
    wchar_t path[TEMP_PATH_CAPACITY];
    if (CoCreateGuid(&guid) != S_OK || !MakeTempFilePath(&guid, FINDINGS_EXTENSION, path)) {
        return;
    }
    AddTempFile(path);
    // By its wide name: the temporary folder lies under the user's name,
    // which the ANSI code page may not spell.
    if (!WriteUtf8File(path, findingsText)) {
        ForgetTempFile(path);
        return;
    }
    ShellOpen(path);
}
