// The application object: start-up, the choice of run mode and the single
// instance of the main and the service mode.
#pragma once

#include "ui/Sync.h"
#include "ui/WinApp.h"

#include <memory>
#include <string>

class CTarnwickApp : public CWinApp {
public:
    BOOL InitInstance() override;

    bool InitWinsock();
    bool CreateInstanceMutex(const wchar_t* name);
    void ReleaseInstanceMutex();
    bool RegisterDialogClass();

    // Hands `path` (when not empty), made absolute, to the running main window
    // and brings that window to the front; FALSE when none appears in time.
    static BOOL ActivateRunningInstance(const std::wstring& path);

private:
    void RunServiceMode();
    void RunSharpenMode(const std::wstring& sourceFolder, const std::wstring& targetFolder);
    void RunMainMode(const std::wstring* filePath);
    // For the start that holds its mode's single instance: deletes what a
    // run that ended without its own stop left in the temporary folder, and
    // names this run's copies from now on.
    static void TakeOverTempFileJournal(const wchar_t* name);
    // Writes the settings back; a failed write is shown to the user.
    static void SaveSettings();

    ULONG_PTR gdiplusToken = 0;
    std::unique_ptr<CMutex> instanceMutex;
    std::unique_ptr<CSingleLock> instanceLock;
};

extern CTarnwickApp theApp;
