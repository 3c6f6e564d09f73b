// The application object and its run routine. The process holds one;
// wWinMain hands it to RunApplication.
#pragma once

#include <windows.h>

class CWnd;
class CCommandLineInfo;

// The exit code of a run in which an exception escaped to the edge of a
// Win32 entry point (ui/ExceptionGuard.h).
constexpr int kExitAfterException = 3;

class CWinApp {
public:
    // The application object is the one GetApp returns while it lives.
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // The whole run; no message loop follows it in this program.
    virtual BOOL InitInstance();

    // Hands the program's arguments to `info`, word by word.
    void ParseCommandLine(CCommandLineInfo& info) const;

    // The application object, or null when there is none.
    static CWinApp* GetApp();

    // The window that stands for the application while a mode runs; a modal
    // dialog with no parent and no active window is owned by it.
    CWnd* mainWnd = nullptr;
};

// The run routine: runs InitInstance and returns the process's exit code, 0,
// or kExitAfterException when an exception escaped, after telling the user
// so in a message box.
int RunApplication(CWinApp& app);
