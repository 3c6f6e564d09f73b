// The chart's side of the capture toolbar: the setting "CAPTUREBAR" decides
// at the chart's creation whether the toolbar shows, first at the chart's
// top-left corner and afterwards wherever the user left it.
#include "ChartTestHost.h"
#include "WinTestUtil.h"
#include "capture/ToolbarDlg.h"
#include "chart/ToothStaticListener.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

using charttest::ChartHost;

constexpr DWORD kActivationMs = 5000;

RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

class ChartToolbarTest : public testing::Test {
protected:
    void SetUp() override { savedCaptureBar = g_systemSetting.captureBar; }
    void TearDown() override { g_systemSetting.captureBar = savedCaptureBar; }

    bool savedCaptureBar = false;
};

// Records whether the toolbar was on the screen while the chart handed on
// its capture.
struct ToolbarWatch : CToothStaticListener {
    void OnToothChartEvent(int, int) override {}
    void OnOpenImage(const std::wstring& path) override
    {
        paths.push_back(path);
        visibleDuringOpen = IsWindowVisible(toolbar) != FALSE;
    }
    HWND toolbar = nullptr;
    std::vector<std::wstring> paths;
    bool visibleDuringOpen = true;
};

TEST_F(ChartToolbarTest, WithTheSettingOffNoToolbarIsMade)
{
    g_systemSetting.captureBar = false;
    ChartHost host({40, 30, 440, 330});
    ASSERT_TRUE(host.created);
    EXPECT_EQ(host.chart.toolbar, nullptr);
    EXPECT_FALSE(host.chart.toolbarShown);
}

TEST_F(ChartToolbarTest, WithTheSettingOnTheToolbarShowsAtTheChartsCornerAndLaterShowingsKeepItsPlace)
{
    g_systemSetting.captureBar = true;
    ChartHost host({40, 30, 440, 330});
    ASSERT_TRUE(host.created);
    ASSERT_NE(host.chart.toolbar, nullptr);
    const HWND toolbar = host.chart.toolbar->GetSafeHwnd();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_TRUE(host.chart.toolbarShown);
    EXPECT_TRUE(IsWindowVisible(toolbar));
    const RECT chart = WindowRect(host.chart.GetSafeHwnd());
    const RECT placed = WindowRect(toolbar);
    EXPECT_EQ(placed.left, chart.left);
    EXPECT_EQ(placed.top, chart.top);
    EXPECT_EQ(host.chart.toolbar->notifyWnd, host.chart.GetSafeHwnd());
    EXPECT_FALSE(host.chart.toolbar->fullMode);
    EXPECT_NE(GetForegroundWindow(), toolbar);
    EXPECT_EQ(GetWindowLongPtrW(toolbar, GWLP_HWNDPARENT), 0) << "owned by no window";

    // The user drags it away and hides it; showing it again keeps the place.
    SetWindowPos(toolbar, nullptr, 500, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(toolbar, SW_HIDE);
    host.chart.toolbarShown = false;
    EXPECT_TRUE(host.chart.ShowCaptureToolbar());
    EXPECT_TRUE(host.chart.toolbarShown);
    EXPECT_TRUE(IsWindowVisible(toolbar));
    EXPECT_EQ(host.chart.toolbar->GetSafeHwnd(), toolbar);
    EXPECT_EQ(WindowRect(toolbar).left, 500);
    EXPECT_EQ(WindowRect(toolbar).top, 420);
    // The toolbar outlives the chart: it floats until the program ends.
    ShowWindow(toolbar, SW_HIDE);
}

TEST_F(ChartToolbarTest, ACaptureHidesTheToolbarAndBringsItBackWithThePictureAndTheFindingsText)
{
    g_systemSetting.captureBar = true;
    ChartHost host({40, 30, 440, 330});
    ASSERT_TRUE(host.created);
    ASSERT_NE(host.chart.toolbar, nullptr);
    ToolbarWatch watch;
    watch.toolbar = host.chart.toolbar->GetSafeHwnd();
    host.chart.listener = &watch;
    host.chart.findingsText = L"16 齲齒";
    const RECT savedRegion = g_systemSetting.captureRect;
    g_systemSetting.captureRect = {60, 50, 160, 120};
    // The program captured from is the active one; the chart's window, not
    // the chart itself, comes to the front with the result.
    const HWND viewer = CreateWindowExW(0, L"STATIC", L"viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 400, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(testutil::PumpUntil([&] { return SetForegroundWindow(viewer) && GetForegroundWindow() == viewer; },
                                    kActivationMs));

    SendMessageW(host.chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0);
    g_systemSetting.captureRect = savedRegion;
    EXPECT_TRUE(testutil::PumpUntil([&] { return GetForegroundWindow() == host.GetSafeHwnd(); }, kActivationMs));
    DestroyWindow(viewer);

    ASSERT_EQ(watch.paths.size(), 1u);
    EXPECT_FALSE(watch.visibleDuringOpen);
    EXPECT_TRUE(host.chart.toolbarShown);
    EXPECT_TRUE(IsWindowVisible(watch.toolbar));
    EXPECT_EQ(host.chart.toolbar->capturedImagePath, watch.paths[0]);
    EXPECT_EQ(host.chart.toolbar->findingsText, L"16 齲齒");
    ShowWindow(watch.toolbar, SW_HIDE);
    DeleteTempFiles();
}

TEST_F(ChartToolbarTest, ACaptureLeavesAToolbarTheUserHidOrNeverShowedHidden)
{
    const struct {
        const char* name;
        bool settingOn;
    } cases[] = {{"hidden through the context menu", true}, {"never shown: the setting is off", false}};
    for (const auto& c : cases) {
        g_systemSetting.captureBar = c.settingOn;
        ChartHost host({40, 30, 440, 330});
        ASSERT_TRUE(host.created) << c.name;
        if (c.settingOn) {
            ASSERT_NE(host.chart.toolbar, nullptr) << c.name;
            SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_TOGGLE_CAPTURE_BAR, 0);
            ASSERT_FALSE(IsWindowVisible(host.chart.toolbar->GetSafeHwnd())) << c.name;
        }
        ToolbarWatch watch;
        host.chart.listener = &watch;
        const RECT savedRegion = g_systemSetting.captureRect;
        g_systemSetting.captureRect = {60, 50, 160, 120};

        SendMessageW(host.chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0);
        g_systemSetting.captureRect = savedRegion;
        // Whatever the capture left for later is done.
        ASSERT_TRUE(testutil::PumpUntilQueueEmpty()) << c.name;

        ASSERT_EQ(watch.paths.size(), 1u) << c.name;
        EXPECT_FALSE(host.chart.toolbarShown) << c.name;
        if (c.settingOn) {
            EXPECT_FALSE(IsWindowVisible(host.chart.toolbar->GetSafeHwnd())) << c.name;
            // Hidden, it still holds the last capture for when it shows again.
            EXPECT_EQ(host.chart.toolbar->capturedImagePath, watch.paths[0]) << c.name;
        } else {
            EXPECT_EQ(host.chart.toolbar, nullptr) << c.name;
        }
        DeleteTempFiles();
    }
}

} // namespace
