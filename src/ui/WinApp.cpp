#include "ui/WinApp.h"

#include "ui/CommandLineInfo.h"

#include <shellapi.h>

BOOL CWinApp::InitInstance() { return TRUE; }

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
    try {
        app.InitInstance();
        return 0;
    } catch (...) {
        return 1;
    }
}
