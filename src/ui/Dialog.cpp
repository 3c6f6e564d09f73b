#include "ui/Dialog.h"

#include "ui/DialogPlacement.h"
#include "ui/ExceptionGuard.h"
#include "ui/WinApp.h"

namespace {

// Modal loops of this thread running now, ours only.
thread_local int modalDepth = 0;

void TakeQuitMessage()
{
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// A key that reaches a window whose top-level window a modal dialog has
// disabled: it may still hold the focus after another program brought it
// forward. The key was meant for the dialog; given to the disabled window's
// dialog manager, Esc would end that window from inside the nested loop.
bool IsKeyForDisabledWindow(const MSG& msg, HWND root)
{
    return msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && root != nullptr && !IsWindowEnabled(root);
}

} // namespace

CDialogEx::CDialogEx(UINT templateId, CWnd* parent) : parent(parent), templateId(templateId) {}

INT_PTR CDialogEx::DoModal()
{
    const HWND owner = FindModalOwner();
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) {
        EnableWindow(owner, FALSE);
    }
    ended = false;
    modalResult = -1;
    bool quit = false;
    ++modalDepth;
    if (CreateOwnedBy(owner)) {
        if (!ended && hwnd != nullptr && !IsWindowVisible(hwnd)) {
            ShowWindow(hwnd, SW_SHOWNORMAL);
        }
        runningModal = true;
        // The window may go without EndDialog, destroyed with its owner.
        while (!ended && hwnd != nullptr && !quit) {
            quit = !PumpMessage();
        }
        runningModal = false;
    }
    --modalDepth;
    const bool wasActive = hwnd != nullptr && GetActiveWindow() == hwnd;
    if (disableOwner && IsWindow(owner)) {
        // Before the dialog goes, so that activation can fall back to it.
        EnableWindow(owner, TRUE);
        if (wasActive) {
            SetActiveWindow(owner);
        }
    }
    if (hwnd != nullptr) {
        DestroyWindow(hwnd);
    }
    if (modalDepth == 0) {
        // A quit pending now was meant for loops that have ended (this one,
        // or loops it ended); no loop of ours is left to take it, and a
        // message box shown now would close at once.
        TakeQuitMessage();
    }
    return modalResult;
}

bool CDialogEx::Create()
{
    return CreateOwnedBy(parent != nullptr ? parent->GetSafeHwnd() : nullptr);
}

bool CDialogEx::CreateOwnedBy(HWND owner)
{
    if (hwnd != nullptr) {
        return false;
    }
    const HWND created = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                                            StaticDialogProc, reinterpret_cast<LPARAM>(this));
    if (created == nullptr || hwnd != created) {
        return false;
    }
    ownsWindow = true;
    return true;
}

HWND CDialogEx::FindModalOwner() const
{
    HWND start = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
    if (start == nullptr) {
        start = GetActiveWindow();
    }
    const CWinApp* app = CWinApp::GetApp();
    if (start == nullptr && app != nullptr && app->mainWnd != nullptr && app->mainWnd != this) {
        start = app->mainWnd->GetSafeHwnd();
    }
    return start != nullptr ? GetAncestor(start, GA_ROOT) : nullptr;
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
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (IsKeyForDisabledWindow(msg, root)) {
        return true;
    }
    // Pre-translation runs outside any window procedure, so it is guarded here.
    if (CallGuarded(false, [&] { return CWnd::PreTranslateChain(&msg); })) {
        return true;
    }
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

BOOL CDialogEx::OnInitDialog()
{
    return TRUE;
}

void CDialogEx::OnOK()
{
    EndDialog(IDOK);
}

void CDialogEx::OnCancel()
{
    EndDialog(IDCANCEL);
}

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
    case WM_NCDESTROY:
        if (runningModal) {
            // Wakes the modal loop, which ends now that its window is gone.
            PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        }
        return Default();
    default:
        return Default();
    }
}

INT_PTR CALLBACK CDialogEx::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Every other message reaches the object through its subclass procedure;
    // the dialog manager's processing of them is the object's Default().
    if (message != WM_INITDIALOG || FromHandle(window) != nullptr) {
        return FALSE;
    }
    auto* dialog = reinterpret_cast<CDialogEx*>(lParam);
    if (dialog == nullptr || !dialog->Bind(window, Binding::Subclass, nullptr)) {
        return FALSE;
    }
    RECT before{};
    GetWindowRect(window, &before);
    const auto result = static_cast<INT_PTR>(dialog->Receive(message, wParam, lParam));
    if (FromHandle(window) == dialog) {
        dialog->PlaceAfterInit(before);
    }
    return result;
}

void CDialogEx::PlaceAfterInit(const RECT& before)
{
    // A dialog that moved or showed itself during its initialisation has
    // chosen its place (the region picker's overlay, the off-screen service
    // window, the full-screen main window). The capture toolbar is placed
    // by the chart after its creation, so centring it first changes nothing.
    RECT after{};
    GetWindowRect(hwnd, &after);
    if ((GetWindowLongW(hwnd, GWL_STYLE) & (WS_VISIBLE | WS_CHILD)) != 0 || after.left != before.left ||
        after.top != before.top) {
        return;
    }
    if (TemplateLeavesPlaceOpen(GetModuleHandleW(nullptr), templateId)) {
        CentreOnOwner(hwnd);
    }
}
