// The chart's pointer interaction: the hover rules, the tooltip texts and
// tools, and the findings menu driven with real clicks.
#include "ChartTestHost.h"
#include "PopupDriver.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "chart/MultiSelMenu.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <vector>

using namespace charttest;

namespace {

using testutil::ClipboardText;
using testutil::SetClipboardText;

constexpr uint32_t GREEN = Rgb(0x00, 0xFF, 0x00);
constexpr uint32_t KEY_11 = 11;
constexpr uint32_t KEY_12 = 12;
constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]B:[%bbb%] C:[%ccc%][%BODY_END%][%NONE_BGN%]-[%NONE_END%]";

struct RecordingListener : CToothStaticListener {
    void OnToothChartEvent(int event, int arg) override { events.push_back({event, arg}); }
    void OnOpenImage(const std::wstring& path) override { paths.push_back(path); }
    std::vector<std::pair<int, int>> events;
    std::vector<std::wstring> paths;
};

void MoveTo(HWND chart, POINT point)
{
    SendMessageW(chart, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
}

// The TTN_NEEDTEXTW notification as the control sends it, with guard bytes
// behind the structure to catch a copy past its buffer.
struct TipRequest {
    NMTTDISPINFOW info{};
    wchar_t guard[64];
};

bool AskTipText(HWND chart, TipRequest& request, UINT_PTR toolId)
{
    static wchar_t untouched[] = L"untouched";
    std::fill(std::begin(request.guard), std::end(request.guard), L'#');
    request.info.hdr.hwndFrom = nullptr;
    request.info.hdr.idFrom = toolId;
    request.info.hdr.code = TTN_NEEDTEXTW;
    request.info.lpszText = untouched;
    SendMessageW(chart, WM_NOTIFY, toolId, reinterpret_cast<LPARAM>(&request.info));
    return request.info.lpszText != untouched;
}

// Which items of the menu were checked when it opened.
std::vector<bool> CheckedAtOpen(const PopupDriver& driver)
{
    std::vector<bool> checked;
    for (const PopupItem& item : driver.items) {
        checked.push_back(item.checked);
    }
    return checked;
}

class HoverMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        const std::wstring image = folder.File(L"image.bmp");
        ASSERT_TRUE(WriteSolidImage(image, 400, 300, RGB(0x20, 0x40, 0x60)));
        ASSERT_TRUE(chart.SetImageFiles({image}));
        chart.listener = &listener;
        RECT client{};
        GetClientRect(chart.GetSafeHwnd(), &client);
        ASSERT_EQ(client.right, 400);
        ASSERT_EQ(client.bottom, 300);
        chart.UpdateLayout(&client);
    }
    void TearDown() override { SetCurrentDirectoryW(previousFolder); }

    // A tooth as an accepted analysis of the image files it.
    void Place(int32_t number, uint32_t mask, RECT box)
    {
        chart.displayedTeeth[ToothKey(0, number)] = Tooth(number, mask, box);
        chart.analysedGeneration = chart.displayGeneration;
        chart.UpdateLayout(nullptr);
    }

    void UseTemplate()
    {
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
        testutil::WriteBytes(folder.File(L"Record\\User.tpl"), USER_TEMPLATE);
        SetClipboardText(L"previous");
    }

    // Hovers the tooth at `point` and releases the button there with the
    // cursor in place, as a click does.
    void ClickTooth(POINT point)
    {
        MoveTo(chart.GetSafeHwnd(), point);
        POINT screen = point;
        ClientToScreen(chart.GetSafeHwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(chart.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    }

    int HoveredTeeth() const
    {
        int count = 0;
        for (const auto& entry : chart.displayedTeeth) {
            count += (entry.second.flags & TOOTH_HOVER) != 0 ? 1 : 0;
        }
        return count;
    }

    testutil::ScratchFolder folder;
    ChartHost host{{0, 0, 400, 300}};
    CToothStatic& chart = host.chart;
    RecordingListener listener;
    wchar_t previousFolder[MAX_PATH] = {};
};

TEST_F(HoverMenuTest, TheHoverFollowsTheRulesForOverlapsWithOneRepaintPerChange)
{
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    Place(12, FINDING_CAVITY, {100, 50, 200, 150});
    const struct {
        const char* step;
        POINT point;
        uint32_t hovered;
        bool repaint;
    } steps[] = {
        {"into the higher key's own part", {175, 100}, KEY_12, true},
        {"on into the overlap: it stays", {125, 100}, KEY_12, false},
        {"out of both", {10, 10}, 0, true},
        {"into the overlap from outside: the lower key", {125, 100}, KEY_11, true},
        {"within the hovered box", {60, 60}, KEY_11, false},
        {"straight into the other box", {175, 100}, KEY_12, true},
        {"right and bottom edges are outside", {200, 150}, 0, true},
    };
    for (const auto& s : steps) {
        ValidateRect(chart.GetSafeHwnd(), nullptr);
        MoveTo(chart.GetSafeHwnd(), s.point);
        EXPECT_EQ(chart.hoveredKey, s.hovered) << s.step;
        EXPECT_EQ(HoveredTeeth(), s.hovered == 0 ? 0 : 1) << s.step;
        if (s.hovered != 0) {
            EXPECT_TRUE(chart.displayedTeeth[s.hovered].flags & TOOTH_HOVER) << s.step;
        }
        EXPECT_EQ(GetUpdateRect(chart.GetSafeHwnd(), nullptr, FALSE) != FALSE, s.repaint) << s.step;
    }

    // The hovered tooth's box is drawn in the hover colour, the other not.
    MoveTo(chart.GetSafeHwnd(), {175, 100});
    const Frame frame = ReadFrame(chart.GetSafeHwnd());
    int greenOnTwelve = 0;
    int greenOnElevensLeftEdge = 0;
    for (int x = 100; x < 200; ++x) {
        greenOnTwelve += frame.At(x, 50) == GREEN || frame.At(x, 51) == GREEN ? 1 : 0;
    }
    for (int y = 55; y < 145; ++y) {
        greenOnElevensLeftEdge += frame.At(50, y) == GREEN || frame.At(51, y) == GREEN ? 1 : 0;
    }
    EXPECT_GT(greenOnTwelve, 30);
    EXPECT_EQ(greenOnElevensLeftEdge, 0);
}

TEST_F(HoverMenuTest, AHoveredToothThatTheFilterExcludesLosesTheHoverAndCannotBeClickedOrTipped)
{
    UseTemplate();
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    MoveTo(chart.GetSafeHwnd(), {100, 100});
    ASSERT_EQ(chart.hoveredKey, KEY_11);
    chart.displayFilter = FINDING_CROWN_BRIDGE;
    TipRequest request;
    EXPECT_TRUE(AskTipText(chart.GetSafeHwnd(), request, 11 + 1010));

    MoveTo(chart.GetSafeHwnd(), {101, 100});
    EXPECT_EQ(chart.hoveredKey, 0u);
    EXPECT_EQ(HoveredTeeth(), 0);
    EXPECT_EQ(chart.GetHoveredTooth(), nullptr);
    EXPECT_FALSE(AskTipText(chart.GetSafeHwnd(), request, 11 + 1010));
    // No menu opens: the release returns at once and nothing changes.
    SendMessageW(chart.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(101, 100));
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(ClipboardText(), L"previous");
}

TEST_F(HoverMenuTest, TheTipListsTheHoveredToothsKindsWholeEvenPastTheNotificationsBuffer)
{
    const struct {
        const char* name;
        int32_t number;
        uint32_t mask;
        bool handled;
        std::wstring text;
    } cases[] = {
        {"two kinds", 11, FINDING_CROWN_BRIDGE | FINDING_POST, true, L"Crown and Bridge\nPost"},
        {"nothing found", 12, FINDING_HEALTHY, true, L""},
        {"Healthy beside a kind", 13, FINDING_HEALTHY | FINDING_CAVITY, true, L"Cavity"},
        {"every kind", 14, 0x1FFF, true,
         L"Crown and Bridge\nImpaction\nMissing\nPerio\nImplant\nCavity\nApical lesion\nEndodontic\nFilling\nR.R.\n"
         L"Post\nUnknown"},
        {"a tooth numbered past 60", 65, FINDING_CAVITY, false, L""},
        {"the lowest tipped number", -999, FINDING_CAVITY, true, L"Cavity"},
    };
    for (const auto& c : cases) {
        chart.displayedTeeth.clear();
        Place(c.number, c.mask, {50, 50, 150, 150});
        MoveTo(chart.GetSafeHwnd(), {10, 10});
        MoveTo(chart.GetSafeHwnd(), {100, 100});
        ASSERT_NE(chart.GetHoveredTooth(), nullptr) << c.name;
        TipRequest request;
        // Whichever tool asks, the text is the hovered tooth's.
        EXPECT_EQ(AskTipText(chart.GetSafeHwnd(), request, 1), c.handled) << c.name;
        if (c.handled) {
            EXPECT_EQ(std::wstring(request.info.lpszText), c.text) << c.name;
        }
        for (const wchar_t guard : request.guard) {
            ASSERT_EQ(guard, L'#') << c.name;
        }
    }
}

TEST_F(HoverMenuTest, ToolsAreAddedForTippedTeethAndRemovedBeforeTheMapIsReplaced)
{
    Place(11, FINDING_CAVITY, {50, 50, 150, 150});
    Place(12, FINDING_HEALTHY, {150, 50, 200, 150});
    Place(65, FINDING_CAVITY, {200, 50, 250, 150});
    Place(-999, FINDING_CAVITY, {250, 50, 300, 150});
    chart.displayFilter = FILTER_ALL_FINDINGS;
    chart.AddToothTips();
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 2);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = chart.GetSafeHwnd();
    tool.uId = 11 + 1010;
    ASSERT_TRUE(SendMessageW(chart.toolTipCtrl.GetSafeHwnd(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(tool.rect.left, 50);
    EXPECT_EQ(tool.rect.bottom, 150);
    tool.uId = 11;
    EXPECT_TRUE(SendMessageW(chart.toolTipCtrl.GetSafeHwnd(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));

    // A new image list empties the map; the old teeth's tools go first.
    ASSERT_TRUE(chart.SetImageFiles(chart.imageFiles));
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 0);
}

// Counts the toggles the open menu sends the chart, and may post the chart a
// message while it handles the first: the menu loop must still take that
// click's release as handled, not take the message in its place and meet
// the release, and toggle, once more.
class ToggleWatch {
public:
    ToggleWatch(HWND chart, bool postDuringFirst)
    {
        target = chart;
        post = postDuringFirst;
        toggles = 0;
        hook = SetWindowsHookExW(WH_CALLWNDPROC, Watch, nullptr, GetCurrentThreadId());
    }
    ~ToggleWatch() { UnhookWindowsHookEx(hook); }
    ToggleWatch(const ToggleWatch&) = delete;
    ToggleWatch& operator=(const ToggleWatch&) = delete;

    static size_t Toggles() { return toggles; }

private:
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->hwnd == target && call->message == WM_COMMAND && g_multiSelHook != nullptr &&
            ++toggles == 1 && post) {
            PostMessageW(target, WM_NULL, 0, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static HWND target;
    static bool post;
    static size_t toggles;
    HHOOK hook;
};

HWND ToggleWatch::target = nullptr;
bool ToggleWatch::post = false;
size_t ToggleWatch::toggles = 0;

TEST_F(HoverMenuTest, TheFindingsMenuTogglesItemsByClicksAndClosingItRewritesTheMask)
{
    UseTemplate();
    const struct {
        const char* name;
        uint32_t mask;
        std::vector<int> clicks;
        std::vector<int> checkedAtOpen;
        uint32_t after;
        const wchar_t* text;
        bool postDuringToggle = false;
    } cases[] = {
        {"Healthy and Crown and Bridge; Crown off, Cavity on",
         FINDING_HEALTHY | FINDING_CROWN_BRIDGE,
         {0, 5},
         {0},
         FINDING_CAVITY,
         L"B:- C:11"},
        {"nothing found, closed at once", FINDING_HEALTHY, {}, {}, FINDING_HEALTHY, L"B:- C:-"},
        {"every mark taken off", FINDING_CROWN_BRIDGE | FINDING_CAVITY, {0, 5}, {0, 5}, FINDING_HEALTHY, L"B:- C:-"},
        {"Healthy beside a kind is dropped",
         FINDING_HEALTHY | FINDING_CROWN_BRIDGE,
         {},
         {0},
         FINDING_CROWN_BRIDGE,
         L"B:11 C:-"},
        {"a message arrives while Cavity is turned on",
         FINDING_HEALTHY | FINDING_CROWN_BRIDGE,
         {5},
         {0},
         FINDING_CROWN_BRIDGE | FINDING_CAVITY,
         L"B:11 C:11",
         true},
    };
    for (const auto& c : cases) {
        chart.displayedTeeth.clear();
        Place(11, c.mask, {50, 50, 150, 150});
        listener.events.clear();
        SetClipboardText(L"previous");
        MoveTo(chart.GetSafeHwnd(), {10, 10});
        std::vector<bool> expectedChecks(12, false);
        for (const int i : c.checkedAtOpen) {
            expectedChecks[static_cast<size_t>(i)] = true;
        }
        {
            const ToggleWatch watch(chart.GetSafeHwnd(), c.postDuringToggle);
            PopupDriver driver(std::nullopt, c.clicks);
            ClickTooth({100, 100});
            EXPECT_TRUE(driver.opened) << c.name;
            // The menu is tracked no more once the release has returned.
            EXPECT_EQ(g_multiSelHook, nullptr) << c.name;
            EXPECT_EQ(g_multiSelOwner, nullptr) << c.name;
            driver.Join();
            EXPECT_EQ(CheckedAtOpen(driver), expectedChecks) << c.name;
            // One toggle a click; a click the menu did not take yet is given
            // again, and toggles nothing itself.
            EXPECT_EQ(ToggleWatch::Toggles(), c.clicks.size()) << c.name;
        }
        EXPECT_EQ(chart.displayedTeeth[11].findingMask, c.after) << c.name;
        EXPECT_EQ(ClipboardText(), c.text) << c.name;
        ASSERT_EQ(listener.events.size(), 1u) << c.name;
        EXPECT_EQ(listener.events[0].first, CHART_EVENT_FINDINGS_EDITED) << c.name;
    }
}

CToothStatic* g_rebuiltChart = nullptr;
std::atomic<bool> g_rebuilt{false};

// A file hand-off while the menu is open: the map is rebuilt without the
// edited tooth.
void CALLBACK RebuildTeeth(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_rebuiltChart->displayedTeeth.erase(KEY_11);
    g_rebuiltChart->displayedTeeth[KEY_12] = Tooth(12, FINDING_CAVITY, {});
    g_rebuilt = true;
}

TEST_F(HoverMenuTest, AToothThatWentWhileTheMenuWasOpenKeepsNothingOfTheMenu)
{
    UseTemplate();
    Place(11, FINDING_CROWN_BRIDGE, {50, 50, 150, 150});
    g_rebuiltChart = &chart;
    g_rebuilt = false;
    {
        // The click comes once the teeth were rebuilt behind the menu.
        PopupDriver driver(std::nullopt, {5}, &g_rebuilt);
        SetTimer(nullptr, 0, 100, RebuildTeeth);
        ClickTooth({100, 100});
        driver.Join();
        EXPECT_TRUE(driver.opened);
    }
    EXPECT_EQ(chart.displayedTeeth.count(KEY_11), 0u);
    EXPECT_EQ(chart.displayedTeeth[KEY_12].findingMask, uint32_t{FINDING_CAVITY});
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(ClipboardText(), L"previous");
}

TEST_F(HoverMenuTest, TheLoadCommandAsksTheListener)
{
    SendMessageW(chart.GetSafeHwnd(), WM_COMMAND, ID_LOAD_IMAGE, 0);
    ASSERT_EQ(listener.events.size(), 1u);
    EXPECT_EQ(listener.events[0].first, CHART_EVENT_LOAD_IMAGE);
}

} // namespace
