#include "ui/Dialog.h"

namespace {

// Messages whose result a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

CDialogEx::CDialogEx(UINT templateId, CWnd* parent) : parent(parent), templateId(templateId) {}

CDialogEx::~CDialogEx()
{
    if (hwnd != nullptr) {
        DestroyWindow(hwnd);
    }
}

INT_PTR CDialogEx::DoModal()
{
    HWND owner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) {
        EnableWindow(owner, FALSE);
    }
    ended = false;
    modalResult = -1;
    if (Create()) {
        if (!ended && !IsWindowVisible(hwnd)) {
            ShowWindow(hwnd, SW_SHOWNORMAL);
        }
        while (!ended && PumpMessage()) {
        }
    }
    if (disableOwner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    if (hwnd != nullptr) {
        DestroyWindow(hwnd);
    }
    return modalResult;
}

bool CDialogEx::Create()
{
    HWND owner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                              StaticDialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool CDialogEx::PumpMessage()
{
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
        // Leave WM_QUIT for the loop outside.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (got == -1) {
        return false;
    }
    if (CWnd::PreTranslateChain(&msg)) {
        return true;
    }
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root != nullptr && dynamic_cast<CDialogEx*>(CWnd::FromHandle(root)) != nullptr &&
        IsDialogMessageW(root, &msg)) {
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void CDialogEx::EndDialog(INT_PTR result)
{
    modalResult = result;
    ended = true;
    // Wakes the modal loop when the call comes from outside a dispatched message.
    PostMessageW(hwnd, WM_NULL, 0, 0);
}

BOOL CDialogEx::OnInitDialog() { return TRUE; }

void CDialogEx::OnOK() { EndDialog(IDOK); }

void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialogEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        return Default();
    default:
        return Default();
    }
}

LRESULT CDialogEx::DefaultProc(UINT, WPARAM, LPARAM)
{
    defaultWanted = true;
    return 0;
}

INT_PTR CALLBACK CDialogEx::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogEx* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialogEx*>(lParam);
        dialog->Bind(window);
    } else {
        dialog = dynamic_cast<CDialogEx*>(CWnd::FromHandle(window));
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    const bool outerDefault = dialog->defaultWanted;
    dialog->defaultWanted = false;
    const LRESULT result = dialog->Dispatch(message, wParam, lParam);
    const bool wantsDefault = dialog->defaultWanted;
    dialog->defaultWanted = outerDefault;
    if (message == WM_NCDESTROY) {
        dialog->Unbind();
    }
    if (wantsDefault) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}
