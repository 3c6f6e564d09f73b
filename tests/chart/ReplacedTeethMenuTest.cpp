// The findings menu of one patient's tooth while another patient's teeth
// take the chart's place behind it: the menu's loop goes on dispatching, so
// a hand-off or a new analysis can replace the teeth, filing the new ones
// under the same keys. The menu closes with the teeth it was opened on.
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "PopupDriver.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "chart/MultiSelMenu.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

using namespace charttest;

namespace {

using testutil::ClipboardText;

constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]C:[%ccc%] E:[%eee%][%BODY_END%][%NONE_BGN%]-[%NONE_END%]";
// Both patients have a tooth 11 in the same place: patient A's with a
// cavity, patient B's root-canal treated.
constexpr char BOX_11[] = "100,100,100,100,11\n";
constexpr wchar_t TEXT_OF_A[] = L"C:11 E:-";
constexpr wchar_t TEXT_OF_B[] = L"C:- E:11";
constexpr int CAVITY_ITEM = 5;

FakeScenario Reply(const std::string& findings)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", BOX_11}, {"#@DISINFO@#", findings}});
    return scenario;
}

struct RecordingListener : CToothStaticListener {
    void OnToothChartEvent(int event, int) override { events.push_back(event); }
    void OnOpenImage(const std::wstring&) override {}
    std::vector<int> events;
};

// What runs behind the open menu, from a timer of the menu's own loop.
std::function<void()> g_behindTheMenu;
std::atomic<bool> g_replaced{false};

void CALLBACK NoteReplaced(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_replaced = true;
}

void CALLBACK ReplaceBehindTheMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (testutil::FindVisibleWindow(L"#32768", nullptr) == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    g_behindTheMenu();
    // Noted from the next timer: timers come only once no posted message
    // waits, so the menu has handled the cancel posted meanwhile, if any.
    SetTimer(nullptr, 0, USER_TIMER_MINIMUM, NoteReplaced);
}

class ReplacedTeethMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        ASSERT_TRUE(server.Start(0));
        UseFakeServer(chart, server.Port());
        chart.listener = &listener;
        savedToken = g_systemSetting.clipboardToken;
        g_systemSetting.clipboardToken = false;
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
        testutil::WriteBytes(folder.File(L"Record\\User.tpl"), USER_TEMPLATE);
        imageOfA = folder.File(L"patient A.bmp");
        imageOfB = folder.File(L"patient B.bmp");
        ASSERT_TRUE(WriteSolidImage(imageOfA, 400, 300, RGB(0x20, 0x40, 0x60)));
        ASSERT_TRUE(WriteSolidImage(imageOfB, 400, 300, RGB(0x30, 0x30, 0x30)));
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(previousFolder);
        g_systemSetting.clipboardToken = savedToken;
        DeleteTempFiles();
    }

    // Patient B's analysis, of the image on the chart or of a new one.
    void AnalyseB(bool newImage)
    {
        server.SetScenario(Reply("11,e\n"));
        if (newImage) {
            ASSERT_TRUE(chart.SetImageFiles({imageOfB}));
        }
        ASSERT_TRUE(chart.AnalyzeCurrentImage());
    }

    // Opens the findings menu of tooth 11 with a click and runs `behind`
    // from the menu's loop; `clicks` go to the menu after that. When
    // `behind` replaces the teeth the menu must close by itself; otherwise
    // Esc closes it.
    void EditToothElevenWhile(std::function<void()> behind, bool teethReplaced, const std::vector<int>& clicks)
    {
        g_behindTheMenu = std::move(behind);
        g_replaced = false;
        PopupDriver driver(std::nullopt, clicks, &g_replaced);
        SetTimer(nullptr, 0, 50, ReplaceBehindTheMenu);
        SendMessageW(chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
        POINT screen{100, 100};
        ClientToScreen(chart.GetSafeHwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(chart.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
        // A menu that closed by itself notes the replacement from here.
        EXPECT_TRUE(driver.PumpUntilDone());
        EXPECT_TRUE(driver.opened);
        EXPECT_TRUE(g_replaced);
        // A menu left open on replaced teeth needed the driver's Esc.
        EXPECT_EQ(!driver.closedWithEscape, teethReplaced);
        EXPECT_EQ(g_multiSelOwner, nullptr);
    }

    testutil::ScratchFolder folder;
    ChartHost host{{0, 0, 400, 300}};
    CToothStatic& chart = host.chart;
    FakeAnalysisServer server;
    RecordingListener listener;
    std::wstring imageOfA;
    std::wstring imageOfB;
    wchar_t previousFolder[MAX_PATH] = {};
    bool savedToken = false;
};

TEST_F(ReplacedTeethMenuTest, TheMarksOfAMenuOpenedOnPatientAsToothNeverReachPatientBsTooth)
{
    const struct {
        const char* name;
        bool newImage;
        std::vector<int> clicks;
    } cases[] = {
        {"a new analysis, closed at once", false, {}},
        {"a new analysis, a mark toggled", false, {CAVITY_ITEM}},
        {"another image handed over and analysed, a mark toggled", true, {CAVITY_ITEM}},
    };
    for (const auto& c : cases) {
        server.SetScenario(Reply("11,c\n"));
        ASSERT_TRUE(chart.SetImageFiles({imageOfA}));
        ASSERT_TRUE(chart.AnalyzeCurrentImage());
        ASSERT_EQ(chart.displayedTeeth[11].findingMask, uint32_t{FINDING_CAVITY}) << c.name;
        ASSERT_EQ(ClipboardText(), TEXT_OF_A) << c.name;
        listener.events.clear();

        EditToothElevenWhile([&] { AnalyseB(c.newImage); }, true, c.clicks);

        ASSERT_EQ(chart.displayedTeeth.count(11), 1u) << c.name;
        EXPECT_EQ(chart.displayedTeeth[11].findingMask, uint32_t{FINDING_ENDODONTIC}) << c.name;
        EXPECT_EQ(ClipboardText(), TEXT_OF_B) << c.name;
        EXPECT_EQ(chart.findingsText, TEXT_OF_B) << c.name;
        EXPECT_TRUE(listener.events.empty()) << c.name;
    }
}

TEST_F(ReplacedTeethMenuTest, WithTheSameTeethStillShownTheMenusMarksApply)
{
    server.SetScenario(Reply("11,c\n"));
    ASSERT_TRUE(chart.SetImageFiles({imageOfA}));
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    // Something else runs behind the menu, but the teeth stay.
    EditToothElevenWhile([] {}, false, {CAVITY_ITEM});
    EXPECT_EQ(chart.displayedTeeth[11].findingMask, uint32_t{FINDING_HEALTHY});
    EXPECT_EQ(ClipboardText(), L"C:- E:-");
    EXPECT_EQ(listener.events, std::vector<int>{CHART_EVENT_FINDINGS_EDITED});
}

} // namespace
