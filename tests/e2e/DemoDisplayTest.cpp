// The real Quillmere.exe on a display like the run command's own, which has
// a window manager: the capture toolbar shows over the full-screen main
// window at start and after a dialog closes, and the settings dialog opens
// centred on the main window. Leaves screenshots of both in the build folder.
#include "WinTestUtil.h"

#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";
constexpr wchar_t kSettingsCaption[] = L"設定";
constexpr UINT kChartId = 0xFFFF;
constexpr DWORD kBoundMs = 30000;

HWND FindToolbar()
{
    HWND button = testutil::FindCaptureButton();
    return button != nullptr ? GetAncestor(button, GA_ROOT) : nullptr;
}

// The share of the toolbar's area where the screen shows the face colour of
// its buttons: near 1 when it is on top, near 0 when the main window covers it.
double ToolbarShareOnScreen(HWND toolbar)
{
    RECT area{};
    GetWindowRect(toolbar, &area);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    HDC screen = GetDC(nullptr);
    int seen = 0;
    int all = 0;
    for (LONG y = area.top + 2; y < area.bottom - 2; y += 2) {
        for (LONG x = area.left + 2; x < area.right - 2; x += 2) {
            seen += GetPixel(screen, x, y) == face ? 1 : 0;
            ++all;
        }
    }
    ReleaseDC(nullptr, screen);
    return all > 0 ? static_cast<double>(seen) / all : 0.0;
}

POINT Centre(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST(DemoDisplay, TheToolbarStaysOverTheMainWindowAndTheSettingsDialogOpensCentred)
{
    SetCurrentDirectoryW(testutil::ProgramFolder().c_str());
    ASSERT_TRUE(g_systemSetting.Load());
    g_systemSetting.captureBar = true;
    g_systemSetting.dirty = true;
    ASSERT_TRUE(g_systemSetting.Save());

    testutil::ProgramProcess running(L"");
    ASSERT_TRUE(running.Started());
    HWND window = nullptr;
    HWND toolbar = nullptr;
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            window = FindWindowW(kMainClass, nullptr);
            toolbar = FindToolbar();
            return window != nullptr && toolbar != nullptr && IsZoomed(window);
        },
        kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil([&] { return ToolbarShareOnScreen(toolbar) > 0.5; }, 3000))
        << "at start: " << ToolbarShareOnScreen(toolbar);

    PostMessageW(GetDlgItem(window, kChartId), WM_COMMAND, ID_USER_SETTINGS, 0);
    HWND settings = running.WaitForWindow(kSettingsCaption, kBoundMs);
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsWindowVisible(settings) != FALSE; }, kBoundMs));
    testutil::PumpFor(300);
    RECT opened{};
    RECT main{};
    GetWindowRect(settings, &opened);
    GetWindowRect(window, &main);
    EXPECT_NEAR(Centre(opened).x, Centre(main).x, 2);
    EXPECT_NEAR(Centre(opened).y, Centre(main).y, 2);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\settings-dialog-centred.png"));

    PostMessageW(settings, WM_CLOSE, 0, 0);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsWindow(settings) == FALSE; }, kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil([&] { return ToolbarShareOnScreen(toolbar) > 0.5; }, 3000))
        << "after the dialog: " << ToolbarShareOnScreen(toolbar);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\demo-toolbar-on-top.png"));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.WaitForEnd(kBoundMs));
}

} // namespace
