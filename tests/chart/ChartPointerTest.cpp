// The chart under a real pointer: the tip on the screen follows the hovered
// tooth, a child's teeth up to 60 get their tips, and only a release inside
// the hovered box opens the findings menu.
#include "ChartTestHost.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "chart/MultiSelMenu.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

using namespace charttest;

namespace {

constexpr RECT HOST_RECT = {40, 40, 440, 340};
constexpr DWORD TIP_BOUND_MS = 5000;
constexpr UINT_PTR TIP_TOOTH_OFFSET = 1010;

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class ChartPointerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No record template here: a closed findings menu copies no text.
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        ASSERT_TRUE(host.created);
        SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const std::wstring image = folder.File(L"image.bmp");
        ASSERT_TRUE(WriteSolidImage(image, 400, 300, RGB(0x20, 0x40, 0x60)));
        ASSERT_TRUE(chart.SetImageFiles({image}));
        RECT client{};
        GetClientRect(chart.GetSafeHwnd(), &client);
        ASSERT_EQ(client.right, 400);
        ASSERT_EQ(client.bottom, 300);
        chart.UpdateLayout(&client);
        UpdateWindow(chart.GetSafeHwnd());
    }
    void TearDown() override { SetCurrentDirectoryW(previousFolder); }

    // Image and chart are of one size: image boxes are chart boxes.
    void Place(int32_t number, uint32_t mask, RECT box)
    {
        chart.displayedTeeth[ToothKey(0, number)] = Tooth(number, mask, box);
        chart.UpdateLayout(nullptr);
    }

    // The pointer to `client` (chart coordinates), its move handled through
    // the pre-translation that relays it to the tooltip.
    void PointTo(POINT client)
    {
        POINT screen = client;
        ClientToScreen(chart.GetSafeHwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        ASSERT_TRUE(testutil::PumpUntilQueueEmpty());
    }

    bool TipShows(const std::wstring& text)
    {
        const HWND tip = chart.toolTipCtrl.GetSafeHwnd();
        return IsWindowVisible(tip) != FALSE && WindowText(tip) == text;
    }

    bool HasTool(int32_t number)
    {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = chart.GetSafeHwnd();
        tool.uId = static_cast<UINT_PTR>(number) + TIP_TOOTH_OFFSET;
        return SendMessageW(chart.toolTipCtrl.GetSafeHwnd(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) !=
               FALSE;
    }

    testutil::ScratchFolder folder;
    ChartHost host{HOST_RECT};
    CToothStatic& chart = host.chart;
    wchar_t previousFolder[MAX_PATH] = {};
};

TEST_F(ChartPointerTest, TheTipOnTheScreenNeverShowsTheToothThePointerLeft)
{
    // Overlapping boxes: in the overlap the tooltip control finds 11's tool
    // (added first) while 12 keeps the hover, so when 11 takes the hover
    // the control sees no change of tool; only the chart can take 12's tip
    // down.
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    Place(12, FINDING_POST, {100, 50, 200, 150});
    chart.AddToothTips();
    PointTo({10, 10});
    PointTo({175, 100});
    ASSERT_EQ(chart.hoveredKey, ToothKey(0, 12));
    ASSERT_TRUE(testutil::PumpUntil([&] { return TipShows(L"Post"); }, TIP_BOUND_MS));
    PointTo({125, 100});
    ASSERT_EQ(chart.hoveredKey, ToothKey(0, 12));
    // The control moved to 11's tool and asks its text again: still 12's.
    ASSERT_TRUE(testutil::PumpUntil([&] { return TipShows(L"Post"); }, TIP_BOUND_MS));

    PointTo({75, 100});
    ASSERT_EQ(chart.hoveredKey, ToothKey(0, 11));
    EXPECT_FALSE(TipShows(L"Post"));
    // The next move shows the tip of the same tool again once the control's
    // delay has passed, now with 11's text; never 12's on the way.
    PointTo({76, 100});
    bool postShowed = false;
    EXPECT_TRUE(testutil::PumpUntil(
        [&] {
            postShowed = postShowed || TipShows(L"Post");
            return TipShows(L"Cavity");
        },
        TIP_BOUND_MS));
    EXPECT_FALSE(postShowed);
}

TEST_F(ChartPointerTest, EveryToothUpToSixtyHasItsToolAndTipAndSixtyOneHasNone)
{
    // A child's X-ray numbers the deciduous teeth 51 to 85; the tips end
    // at 60.
    const struct {
        int32_t number;
        bool tipped;
    } cases[] = {{11, true}, {48, true}, {49, true}, {51, true}, {55, true}, {60, true}, {61, false}};
    for (const auto& c : cases) {
        chart.RemoveToothTips();
        chart.displayedTeeth.clear();
        Place(c.number, FINDING_CAVITY, {50, 50, 150, 150});
        chart.AddToothTips();
        EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), c.tipped ? 1 : 0) << c.number;
        EXPECT_EQ(HasTool(c.number), c.tipped) << c.number;

        SendMessageW(chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
        SendMessageW(chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
        ASSERT_NE(chart.GetHoveredTooth(), nullptr) << c.number;
        static wchar_t untouched[] = L"untouched";
        NMTTDISPINFOW request{};
        request.hdr.idFrom = static_cast<UINT_PTR>(c.number) + TIP_TOOTH_OFFSET;
        request.hdr.code = TTN_NEEDTEXTW;
        request.lpszText = untouched;
        SendMessageW(chart.GetSafeHwnd(), WM_NOTIFY, request.hdr.idFrom, reinterpret_cast<LPARAM>(&request));
        if (c.tipped) {
            ASSERT_NE(request.lpszText, untouched) << c.number;
            EXPECT_EQ(std::wstring(request.lpszText), L"Cavity") << c.number;
        } else {
            EXPECT_EQ(request.lpszText, untouched) << c.number;
        }
    }
}

TEST_F(ChartPointerTest, TheTipsFollowTheBoxesWhenTheChartIsResized)
{
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    chart.AddToothTips();
    // The main window lays the chart out again whenever its own client area
    // changes; the chart takes the new size at its next paint.
    SetWindowPos(chart.GetSafeHwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(chart.GetSafeHwnd(), nullptr, TRUE);
    UpdateWindow(chart.GetSafeHwnd());
    const RECT expected{25, 25, 75, 75};
    ASSERT_TRUE(EqualRect(&chart.displayedTeeth[ToothKey(0, 11)].screenBox, &expected));
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = chart.GetSafeHwnd();
    tool.uId = 11 + TIP_TOOTH_OFFSET;
    ASSERT_TRUE(SendMessageW(chart.toolTipCtrl.GetSafeHwnd(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_TRUE(EqualRect(&tool.rect, &expected));
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 1);
}

// Set while a findings menu showed; the menu is closed at once.
bool g_menuShowed = false;

void CALLBACK CloseAnyFindingsMenu(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_multiSelOwner != nullptr) {
        g_menuShowed = true;
        EndMenu();
    }
}

TEST_F(ChartPointerTest, OnlyAReleaseInsideTheHoveredBoxOpensTheFindingsMenu)
{
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseAnyFindingsMenu);
    ASSERT_NE(timer, 0u);
    const struct {
        const char* name;
        POINT release;
        bool opens;
    } cases[] = {
        {"outside every box", {10, 10}, false},
        {"on the right edge", {150, 100}, false},
        {"on the bottom edge", {100, 150}, false},
        {"inside, at the last pixel", {149, 149}, true},
    };
    for (const auto& c : cases) {
        // The hover is taken inside the box; the pointer then leaves it
        // without a move message, as a drag out of the box ends.
        SendMessageW(chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
        ASSERT_EQ(chart.hoveredKey, ToothKey(0, 11)) << c.name;
        POINT screen = c.release;
        ClientToScreen(chart.GetSafeHwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        g_menuShowed = false;
        SendMessageW(chart.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(c.release.x, c.release.y));
        EXPECT_EQ(g_menuShowed, c.opens) << c.name;
    }
    KillTimer(nullptr, timer);
}

// The pointer timer runs while a tooth is hovered and only then: off the
// teeth and once the pointer has left the chart it is gone.
TEST_F(ChartPointerTest, ThePointerTimerRunsOnlyWhileAToothIsHovered)
{
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    const HWND window = chart.GetSafeHwnd();
    // Looked at by ending it; a running one is started again.
    const auto timerRuns = [&] {
        if (!KillTimer(window, CToothStatic::TIMER_POINTER_WATCH)) {
            return false;
        }
        SetTimer(window, CToothStatic::TIMER_POINTER_WATCH, CToothStatic::POINTER_WATCH_MS, nullptr);
        return true;
    };
    const struct {
        const char* step;
        POINT point; // chart coordinates
        bool hovered;
    } steps[] = {
        {"onto the tooth", {100, 100}, true},
        {"off the tooth, on the chart", {10, 10}, false},
        {"onto the tooth again", {120, 120}, true},
        {"off the chart", {-30, -30}, false},
    };
    for (const auto& s : steps) {
        PointTo(s.point);
        ASSERT_TRUE(testutil::PumpUntil([&] { return (chart.hoveredKey != 0) == s.hovered; }, TIP_BOUND_MS)) << s.step;
        EXPECT_EQ(timerRuns(), s.hovered) << s.step;
    }
}

} // namespace
