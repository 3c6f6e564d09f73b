// The application object and its start-up routine. The process holds one;
// wWinMain hands it to RunApplication.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CWnd;
class CCommandLineInfo;

class CWinApp {
public:
    CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp() = default;

    // The whole run; no message loop follows it in this program.
    virtual BOOL InitInstance();

    // Hands the program's arguments to `info`, word by word.
    void ParseCommandLine(CCommandLineInfo& info) const;

    // The window that stands for the application while a mode runs.
    CWnd* mainWnd = nullptr;
};

// The start-up routine: runs InitInstance of the application object and
// returns the process's exit code.
int RunApplication(CWinApp& app);
