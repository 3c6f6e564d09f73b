// The picker and the toolbar on a display of two monitors, a 1024 x 768 one
// left of a 1280 x 1024 primary (run by two-monitors.sh): the chooser, the
// overlay on each monitor, the photograph's origin and the default region.
#include "capture/MonitorDlg.h"
#include "capture/ToolbarDlg.h"

#include "CaptureTestUtil.h"
#include "ColourWindow.h"
#include "WinTestUtil.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using capturetest::Answer;
using capturetest::Asked;
using capturetest::Check;
using capturetest::Drag;
using capturetest::OverlayShown;
using capturetest::TimerScript;

constexpr RECT LEFT_MONITOR{-1024, 0, 0, 768};
constexpr RECT PRIMARY_MONITOR{0, 0, 1280, 1024};
// The display's work area leaves a task bar of 40 pixels out of the primary.
constexpr RECT PRIMARY_WORK{0, 0, 1280, 984};
constexpr COLORREF GREEN = RGB(0, 200, 0);

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

HWND FindChooser()
{
    const HWND chooser = FindWindowW(nullptr, L"Select a Monitor");
    return chooser != nullptr && IsWindowVisible(chooser) ? chooser : nullptr;
}

TimerScript::Step ChooserShown()
{
    return [] { return FindChooser() != nullptr; };
}

// A step: marks `row` in the chooser and presses "Next".
TimerScript::Step Choose(int row)
{
    return [row] {
        const HWND list = GetDlgItem(FindChooser(), IDC_MONITOR_LIST);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(list, row);
        PostMessageW(FindChooser(), WM_COMMAND, IDOK, 0);
        return true;
    };
}

::testing::AssertionResult NearColor(uint32_t actual, uint32_t expected)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((actual >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) > 2) {
            return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

// Every test first checks the layout, so that a display set-up that failed
// fails loudly instead of leaving a picker open on one monitor.
class TwoMonitors : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the display set-up failed";
        ASSERT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), -1024);
        ASSERT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 2304);
    }
};

TEST_F(TwoMonitors, WineReportsTheLeftMonitorBesideThePrimaryAndThePrimarysWorkArea)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{-500, 300}, MONITOR_DEFAULTTONULL), &info));
    EXPECT_TRUE(SameRect(info.rcMonitor, LEFT_MONITOR));
    EXPECT_TRUE(SameRect(info.rcWork, LEFT_MONITOR));
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{500, 300}, MONITOR_DEFAULTTONULL), &info));
    EXPECT_TRUE(SameRect(info.rcMonitor, PRIMARY_MONITOR));
    EXPECT_TRUE(SameRect(info.rcWork, PRIMARY_WORK));
}

TEST_F(TwoMonitors, TheChooserListsThemFromLeftToRightWithRowZeroSelectedAndItsCancelGivesFalse)
{
    CMonitorDlg picker;
    std::vector<std::wstring> rows;
    int selected = -1;
    TimerScript script({ChooserShown(), [&] {
                            const HWND list = GetDlgItem(FindChooser(), IDC_MONITOR_LIST);
                            wchar_t text[32];
                            for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                                ListView_GetItemText(list, row, 0, text, 32);
                                rows.emplace_back(text);
                            }
                            selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
                            PostMessageW(FindChooser(), WM_COMMAND, IDCANCEL, 0);
                            return true;
                        }});
    RECT out{1, 2, 3, 4};
    EXPECT_FALSE(picker.SelectCaptureRegion(&out));
    EXPECT_TRUE(SameRect(out, RECT{1, 2, 3, 4}));
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"Monitor 0", L"Monitor 1"}));
    EXPECT_EQ(selected, 0);
    ASSERT_EQ(picker.monitors.size(), 2u);
    EXPECT_TRUE(SameRect(picker.monitors[0].rect, LEFT_MONITOR));
    EXPECT_TRUE(SameRect(picker.monitors[1].rect, PRIMARY_MONITOR));
    EXPECT_EQ(picker.originX, -1024);
    EXPECT_EQ(picker.originY, 0);
    EXPECT_FALSE(picker.GetSafeHwnd());
}

TEST_F(TwoMonitors, ADragOnEitherMonitorGivesItsScreenRectangleOverItsOwnPicture)
{
    // A green window on the left monitor, so that the photograph's part
    // under the overlay can be told from any other.
    const capturetest::ColourWindow green({-1000, 20, -600, 400}, GREEN);
    ASSERT_TRUE(green.OnScreen());
    const struct {
        int row;
        RECT workArea;
        RECT selection;
    } cases[] = {
        {0, LEFT_MONITOR, {-924, 50, -724, 250}},
        {1, PRIMARY_WORK, {100, 50, 300, 250}},
    };
    for (const auto& test : cases) {
        CMonitorDlg picker;
        RECT overlayRect{};
        capturetest::Pixels pixels;
        TimerScript script({ChooserShown(), Choose(test.row), OverlayShown(picker),
                            Check([&] { GetWindowRect(picker.GetSafeHwnd(), &overlayRect); }),
                            Drag(picker, POINT{100, 50}, POINT{300, 250}), Asked(),
                            Check([&] { pixels = capturetest::ReadPixels(picker.GetSafeHwnd()); }), Answer(IDYES)});
        RECT out{};
        EXPECT_TRUE(picker.SelectCaptureRegion(&out)) << test.row;
        EXPECT_TRUE(SameRect(overlayRect, test.workArea)) << test.row;
        EXPECT_TRUE(SameRect(out, test.selection)) << test.row;
        ASSERT_TRUE(picker.snapshot);
        ASSERT_EQ(pixels.width, test.workArea.right - test.workArea.left);
        if (test.row == 0) {
            // The window lies at client (24, 20) to (424, 400) of the left
            // monitor's overlay: inside the selection it shows as it is;
            // beside the selection, still over the window, tinted.
            EXPECT_TRUE(NearColor(pixels.At(200, 150), 0x00C800));
            EXPECT_TRUE(NearColor(pixels.At(350, 300), 0xC09160)); // 3/4 of the tint over the green
        }
    }
}

TEST_F(TwoMonitors, TheFirstCaptureWithoutARegionTakesTheLeftMonitor)
{
    g_systemSetting.captureRect = RECT{};
    g_systemSetting.dirty = false;
    const HWND receiver = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    CToolbarDlg toolbar;
    ASSERT_TRUE(toolbar.CreateToolbar(receiver, nullptr, FALSE));
    toolbar.OnBnClickedCapture();
    EXPECT_TRUE(SameRect(g_systemSetting.captureRect, LEFT_MONITOR));
    EXPECT_TRUE(g_systemSetting.dirty);
    MSG request;
    EXPECT_TRUE(PeekMessageW(&request, receiver, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    DestroyWindow(receiver);
}

} // namespace
