#include "service/ServiceDlg.h"

#include "res/resource.h"
#include "service/RequestService.h"
#include "service/ServiceProtocol.h"

#include <algorithm>

namespace {

// Where the dialog goes: the customary spot, or further out when monitors
// reach there, so that no monitor shows any of it.
constexpr int kOffScreenPosition = -1000;

} // namespace

CServiceDlg::CServiceDlg() : CDialogEx(IDD_SERVICE_DIALOG), shared(std::make_shared<SServiceShared>()) {}

CServiceDlg::~CServiceDlg()
{
    shared->dialog = nullptr;
}

bool CServiceDlg::IsWorkerRunning() const
{
    return workerThread && WaitForSingleObject(workerThread.Get(), 0) == WAIT_TIMEOUT;
}

BOOL CServiceDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    MoveOffScreen();
    if (IsWorkerRunning()) {
        return TRUE;
    }
    shared->dialog = hwnd;
    workerThread = StartServiceWorker(shared);
    return TRUE;
}

void CServiceDlg::MoveOffScreen()
{
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    const int width = static_cast<int>(frame.right - frame.left);
    const int height = static_cast<int>(frame.bottom - frame.top);
    const int x = std::min(kOffScreenPosition, GetSystemMetrics(SM_XVIRTUALSCREEN) - width);
    const int y = std::min(kOffScreenPosition, GetSystemMetrics(SM_YVIRTUALSCREEN) - height);
    SetWindowPos(hwnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CServiceDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        return Default();
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

// Every ending of the dialog comes here: the close, a stop request from a
// client, Enter or Esc (the dialog takes the activation when another window
// closes, so a stray key may end it), a window destroyed from outside, the
// end of the session. Each stops the worker the same way, so that no
// patient's copy outlives the service.
void CServiceDlg::OnDestroy()
{
    shared->dialog = nullptr;
    StopWorker();
    // A WM_DESTROY that another program posted leaves the window in place:
    // the dialog ends as a close ends it, so that the process does not live
    // on without listening, holding the single instance.
    if (IsModalRunning()) {
        EndDialog(IDCANCEL);
    }
}

void CServiceDlg::OnEndSession(bool ending)
{
    if (ending) {
        DestroyWindow(hwnd);
    }
}

void CServiceDlg::StopWorker()
{
    if (!IsWorkerRunning()) {
        workerThread.Reset();
        return;
    }
    // The stop request waits to be let in while clients fill the service's
    // queue; that wait counts against the same bound, which a logoff allows.
    const ULONGLONG started = GetTickCount64();
    if (!shared->serverEnded) {
        CRequestService stopClient;
        stopClient.SendCommand(SEND_SHUTDOWN);
    }
    const ULONGLONG spent = GetTickCount64() - started;
    const DWORD left = spent < SERVICE_STOP_WAIT_MS ? static_cast<DWORD>(SERVICE_STOP_WAIT_MS - spent) : 0;
    if (WaitForSingleObject(workerThread.Get(), left) == WAIT_OBJECT_0) {
        workerThread.Reset();
        return;
    }
    // The worker is held by a request and the stop waits behind it: the
    // process ends without it, so its copies go now and it makes no more. A
    // copy that is still being written or uploaded goes when its handle is
    // closed, at the latest when the process ends.
    shared->tempFiles.DeleteAll();
}
