// The real Quillmere.exe started under Wine and watched from outside: the
// single-instance mutexes, the hand-off to a running main window, and the
// modes that end by themselves.
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kMainMutex[] = L"92f19ad2-7089-4042-8b48-b55384fd39d6";
const wchar_t kServiceMutex[] = L"5104BA0B-A231-4510-BB02-9169721B7B75";
const wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";

struct CopyDataRecord {
    ULONG_PTR dwData;
    DWORD cbData;
    std::string bytes;
};

std::vector<CopyDataRecord> g_received;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_received.push_back(
            {data->dwData, data->cbData, std::string(static_cast<const char*>(data->lpData), data->cbData)});
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Holds a named mutex for the test's duration, as a running instance would.
class HeldMutex {
public:
    explicit HeldMutex(const wchar_t* name) : handle(CreateMutexW(nullptr, TRUE, name)) {}
    ~HeldMutex()
    {
        ReleaseMutex(handle);
        CloseHandle(handle);
    }
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;

private:
    HANDLE handle;
};

// A window of the main dialog's class that stands in for a running main window.
class StandInMainWindow {
public:
    StandInMainWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = StandInProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainClass;
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kMainClass, L"stand-in", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ShowWindow(window, SW_SHOWMINIMIZED);
        g_received.clear();
    }
    ~StandInMainWindow() { DestroyWindow(window); }
    StandInMainWindow(const StandInMainWindow&) = delete;
    StandInMainWindow& operator=(const StandInMainWindow&) = delete;

    HWND Handle() const { return window; }

private:
    HWND window;
};

TEST(Startup, ASecondMainStartHandsItsPathOverAndRestoresTheRunningWindow)
{
    HeldMutex running(kMainMutex);
    StandInMainWindow window;
    ASSERT_TRUE(IsIconic(window.Handle()));

    const testutil::ProgramRun run = testutil::RunProgram(L"/file \"C:\\scans\\x ray.jpg\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    ASSERT_EQ(g_received.size(), 1u);
    const std::wstring path = L"C:\\scans\\x ray.jpg";
    EXPECT_EQ(g_received[0].dwData, 0u);
    EXPECT_EQ(g_received[0].cbData, (path.size() + 1) * sizeof(wchar_t));
    const std::string expected(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(g_received[0].bytes, expected);
    EXPECT_FALSE(IsIconic(window.Handle()));
}

TEST(Startup, ARelativePathIsHandedOverAsAFullPath)
{
    HeldMutex running(kMainMutex);
    StandInMainWindow window;

    // The program runs in its working folder; the running instance may not.
    const testutil::ProgramRun run = testutil::RunProgram(L"/file \"scans\\x ray.jpg\"");
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(g_received.size(), 1u);
    const std::wstring path = testutil::ProgramWorkFolder() + L"\\scans\\x ray.jpg";
    const std::string expected(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(g_received[0].bytes, expected);
}

TEST(Startup, ASecondMainStartWithoutAPathOnlyRestoresTheRunningWindow)
{
    HeldMutex running(kMainMutex);
    StandInMainWindow window;

    const testutil::ProgramRun run = testutil::RunProgram(L"C:\\not-a-switch.jpg");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(g_received.empty());
    EXPECT_FALSE(IsIconic(window.Handle()));
}

TEST(Startup, ASecondMainStartWithNoRunningWindowEndsQuietly)
{
    HeldMutex running(kMainMutex);
    const testutil::ProgramRun run = testutil::RunProgram(L"/file C:\\x.jpg");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.visibleCaptions.empty());
}

TEST(Startup, ASecondServiceStartEndsAtOnceWithoutAWindow)
{
    HeldMutex running(kServiceMutex);
    const testutil::ProgramRun run = testutil::RunProgram(L"/service");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.visibleCaptions.empty());
}

TEST(Startup, ABatchRunOverAnEmptyFolderEndsByItself)
{
    testutil::ScratchFolder source;
    testutil::ScratchFolder target;
    // The batch takes no mutex: it runs beside a main instance too.
    HeldMutex running(kMainMutex);
    const testutil::ProgramRun run =
        testutil::RunProgram(L"-sharp \"" + source.Path() + L"\" \"" + target.Path() + L"\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.visibleCaptions.empty());
}

} // namespace
