#include "service/ServiceWorker.h"

#include "analysis/AnalysisServer.h"
#include "service/RequestService.h"
#include "ui/ExceptionGuard.h"

#include <process.h>

UniqueHandle StartServiceWorker(const std::shared_ptr<SServiceShared>& shared)
{
    auto* param = new std::shared_ptr<SServiceShared>(shared);
    const uintptr_t thread = _beginthreadex(nullptr, 0, ServiceThreadProc, param, 0, nullptr);
    if (thread == 0) {
        delete param;
        return UniqueHandle();
    }
    return UniqueHandle(reinterpret_cast<HANDLE>(thread));
}

unsigned __stdcall ServiceThreadProc(void* param)
{
    const std::unique_ptr<std::shared_ptr<SServiceShared>> owned(static_cast<std::shared_ptr<SServiceShared>*>(param));
    if (!owned || !*owned) {
        return 0;
    }
    SServiceShared& shared = **owned;
    const unsigned result = CallGuarded(1u, [&] {
        CRequestService service(kAnalysisServerHost, ANALYSIS_SERVER_PORT, &shared.tempFiles);
        service.RunServer();
        return 0u;
    });
    shared.serverEnded = true;
    const HWND dialog = shared.dialog.load();
    if (dialog != nullptr && IsWindow(dialog)) {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    return result;
}
