// The only window of the service mode: a dialog that keeps out of the user's
// way, off every monitor and without a task-bar button. It owns the worker
// that runs the loopback request server and stops it however it ends.
#pragma once

#include "service/ServiceWorker.h"
#include "ui/Dialog.h"
#include "ui/Handles.h"

#include <memory>

class CServiceDlg : public CDialogEx {
public:
    CServiceDlg();
    ~CServiceDlg() override;

    // The worker was started and has not ended; it may outlive the dialog.
    bool IsWorkerRunning() const;

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnDestroy();
    // The session ends: the process is ended once this returns.
    void OnEndSession(bool ending);
    // Asks the server to stop and waits for the worker within the stop
    // bound; a worker still held by a request then is given up, and the
    // copies it made are deleted.
    void StopWorker();
    void MoveOffScreen();

    std::shared_ptr<SServiceShared> shared;
    UniqueHandle workerThread;
};
