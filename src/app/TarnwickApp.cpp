#include "app/TarnwickApp.h"

#include "app/AppIds.h"
#include "app/CommandParser.h"
#include "app/TarnwickDlg.h"
#include "capture/ProgressDlg.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFileJournal.h"
#include "res/resource.h"
#include "service/ServiceDlg.h"
#include "ui/ResString.h"
#include "ui/WindowFront.h"

#include "ui/Gdiplus.h"
#include <commctrl.h>
#include <winsock2.h>

#include <vector>

CTarnwickApp theApp;

BOOL CTarnwickApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    if (!g_systemSetting.Load()) {
        ShowMessageBox(IDS_LOAD_SETTINGS_FAILED);
        return FALSE;
    }
    if (!InitWinsock()) {
        ShowMessageBox(IDS_WINSOCK_FAILED);
        return FALSE;
    }
    Gdiplus::GdiplusStartupInput gdiplusInput;
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) {
        ShowMessageBox(IDS_GDIPLUS_FAILED);
        return FALSE;
    }

    CCommandParser parser;
    ParseCommandLine(parser);

    if (parser.serviceFlag) {
        RunServiceMode();
    } else if (parser.sharpFlag) {
        RunSharpenMode(parser.sharpArg1, parser.sharpArg2);
    } else {
        std::wstring path;
        RunMainMode(parser.GetFilePath(path) ? &path : nullptr);
    }

    Gdiplus::GdiplusShutdown(gdiplusToken);
    SaveSettings();
    return FALSE;
}

void CTarnwickApp::SaveSettings()
{
    if (!g_systemSetting.Save()) {
        ShowMessageBox(IDS_SAVE_SETTINGS_FAILED);
    }
}

void CTarnwickApp::TakeOverTempFileJournal(const wchar_t* name)
{
    // A journal that cannot be read or written leaves the run as it was
    // without one; the journal reports the failure itself.
    if (g_tempFileJournal.Open(name)) {
        g_tempFileJournal.Sweep();
    }
}

void CTarnwickApp::RunServiceMode()
{
    if (CreateInstanceMutex(kServiceInstanceMutex)) {
        // Swept by the server once it listens: the mutex belongs to the
        // session, the port to the machine, and a service of another session
        // that shares the temporary folder still uses its copies.
        g_tempFileJournal.Open(kServiceJournalName);
        CServiceDlg dialog;
        mainWnd = &dialog;
        dialog.DoModal();
        mainWnd = nullptr;
        if (dialog.IsWorkerRunning()) {
            // The worker still runs (the dialog ended by a key, or gave it up
            // while a request held it) and may use GDI+, the settings and the
            // process's static objects. The usual teardown would pull them
            // away under it; ending the process here stops the worker first.
            // The settings are saved as the end of start-up would save them.
            ReleaseInstanceMutex();
            SaveSettings();
            ExitProcess(0);
        }
    }
    ReleaseInstanceMutex();
}

void CTarnwickApp::RunSharpenMode(const std::wstring& sourceFolder, const std::wstring& targetFolder)
{
    CProgressDlg dialog;
    dialog.sourceFolder = sourceFolder;
    dialog.targetFolder = targetFolder;
    mainWnd = &dialog;
    dialog.DoModal();
    mainWnd = nullptr;
}

void CTarnwickApp::RunMainMode(const std::wstring* filePath)
{
    if (!CreateInstanceMutex(kMainInstanceMutex)) {
        ActivateRunningInstance(filePath != nullptr ? *filePath : std::wstring());
        return;
    }
    TakeOverTempFileJournal(kMainJournalName);
    if (RegisterDialogClass()) {
        CTarnwickDlg dialog;
        mainWnd = &dialog;
        if (filePath != nullptr) {
            dialog.pendingFilePath = *filePath;
        }
        dialog.DoModal();
        mainWnd = nullptr;
    }
    ReleaseInstanceMutex();
}

bool CTarnwickApp::InitWinsock()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

bool CTarnwickApp::CreateInstanceMutex(const wchar_t* name)
{
    if (instanceMutex) {
        return false;
    }
    instanceMutex = std::make_unique<CMutex>(name);
    instanceLock = std::make_unique<CSingleLock>(*instanceMutex);
    if (instanceLock->Lock(0)) {
        return true;
    }
    ReleaseInstanceMutex();
    return false;
}

void CTarnwickApp::ReleaseInstanceMutex()
{
    instanceLock.reset();
    instanceMutex.reset();
}

bool CTarnwickApp::RegisterDialogClass()
{
    WNDCLASSW dialogClass{};
    if (!GetClassInfoW(nullptr, WC_DIALOG, &dialogClass)) {
        return false;
    }
    dialogClass.hInstance = GetModuleHandleW(nullptr);
    dialogClass.lpszClassName = kMainDialogClass;
    if (RegisterClassW(&dialogClass) != 0) {
        return true;
    }
    WNDCLASSW registered{};
    return GetClassInfoW(dialogClass.hInstance, kMainDialogClass, &registered) != FALSE;
}

namespace {

// The running instance has a working folder of its own: a path typed relative
// to ours must reach it whole. A path that cannot be resolved goes as typed.
std::wstring FullPathOf(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return path;
    }
    full.resize(length);
    return full;
}

// The main window of the instance that holds the mutex. That instance may
// still be creating it when we start at nearly the same moment.
HWND WaitForRunningWindow()
{
    const ULONGLONG deadline = GetTickCount64() + kRunningWindowWaitMs;
    HWND running = FindWindowW(kMainDialogClass, nullptr);
    while (running == nullptr && GetTickCount64() < deadline) {
        Sleep(kRunningWindowPollMs);
        running = FindWindowW(kMainDialogClass, nullptr);
    }
    return running;
}

} // namespace

BOOL CTarnwickApp::ActivateRunningInstance(const std::wstring& path)
{
    HWND running = WaitForRunningWindow();
    if (running == nullptr) {
        return FALSE;
    }
    if (!path.empty()) {
        const std::wstring fullPath = FullPathOf(path);
        std::vector<wchar_t> buffer(fullPath.begin(), fullPath.end());
        buffer.push_back(L'\0');
        COPYDATASTRUCT data{0, static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), buffer.data()};
        SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    GrantFrontTo(running);
    PostMessageW(running, WM_BRING_TO_FRONT, 0, 0);
    return TRUE;
}
