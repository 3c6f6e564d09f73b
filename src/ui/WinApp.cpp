#include "ui/WinApp.h"

#include "res/resource.h"
#include "ui/CommandLineInfo.h"
#include "ui/ExceptionGuard.h"
#include "ui/ResString.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

CWinApp* theApplication = nullptr;

} // namespace

CWinApp::CWinApp()
{
    theApplication = this;
}

CWinApp::~CWinApp()
{
    if (theApplication == this) {
        theApplication = nullptr;
    }
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

CWinApp* CWinApp::GetApp()
{
    return theApplication;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) {
        return;
    }
    std::vector<std::wstring> words;
    for (int i = 1; i < count; ++i) {
        words.emplace_back(argv[i]);
    }
    LocalFree(argv);
    ::ParseCommandLine(words, info);
}

int RunApplication(CWinApp& app)
{
    SetApplicationThread();
    CallGuarded(FALSE, [&] { return app.InitInstance(); });
    if (!TakeEscapedException()) {
        return 0;
    }
    // The quit that ended the loops would close the message box at once.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ShowMessageBox(IDS_UNEXPECTED_ERROR, MB_ICONERROR);
    return kExitAfterException;
}
