// The main dialog's finding list and filter check boxes under Wine: rows per
// finding, the boxes of the kinds present and their places, and the filter
// that the boxes hand to the chart.
#include "MainWindowHost.h"

#include "analysis/FindingKind.h"
#include "res/resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace mainwindowtest;

namespace {

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr uint32_t NUMBER_RED = 0xFF0000;

std::wstring ItemText(HWND list, int row, int column)
{
    wchar_t text[128] = {};
    ListView_GetItemText(list, row, column, text, 128);
    return text;
}

Rows ListRows(HWND list)
{
    Rows rows;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        rows.emplace_back(ItemText(list, row, 0), ItemText(list, row, 1));
    }
    return rows;
}

class FindingListTest : public MainWindowTest {
protected:
    // Teeth of the current image (index 0) as an analysis leaves them.
    void ShowTeeth(const std::vector<CToothInfo>& teeth)
    {
        dialog.toothChart.imageFiles = {L"C:\\pano.jpg"};
        dialog.toothChart.currentIndex = 0;
        dialog.toothChart.displayedTeeth.clear();
        for (const CToothInfo& tooth : teeth) {
            dialog.toothChart.displayedTeeth[ToothKey(0, tooth.toothNumber)] = tooth;
        }
        dialog.RefreshFindingList();
    }

    // Opens a generated image and analyses it against `boxes` and `findings`.
    void Analyse(const std::string& boxes, const std::string& findings)
    {
        server.SetScenario(Reply(boxes, findings));
        dialog.OnOpenImage(Image(L"pano" + std::to_wstring(++images) + L".jpg"));
    }

    // The chart's box of the current image's tooth, a little widened.
    RECT ScreenBoxOf(int32_t number)
    {
        RECT box = dialog.toothChart.displayedTeeth.at(ToothKey(0, number)).screenBox;
        InflateRect(&box, 4, 4);
        return box;
    }

    void Click(int id) { SendMessageW(dialog.GetDlgItem(id), BM_CLICK, 0, 0); }

    // The filter strip as the screen shows it, once the messages and the
    // paints due are done.
    std::vector<uint32_t> Strip()
    {
        EXPECT_TRUE(testutil::PumpUntilQueueEmpty());
        int width = 0;
        int height = 0;
        const auto pixels = testutil::ReadClientPixels(dialog.GetSafeHwnd(), &width, &height);
        return std::vector<uint32_t>(pixels.begin() + static_cast<ptrdiff_t>(dialog.filterRowTop) * width,
                                     pixels.end());
    }

    // Tab as the dialog's modal loop hands it over.
    void PressTab()
    {
        MSG msg{GetFocus(), WM_KEYDOWN, VK_TAB, 0, GetTickCount(), {}};
        if (!IsDialogMessageW(dialog.GetSafeHwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        msg.message = WM_KEYUP;
        if (!IsDialogMessageW(dialog.GetSafeHwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    int images = 0;
};

TEST_F(FindingListTest, EachListedFindingTakesARowUnderItsToothInAscendingOrder)
{
    const struct {
        const char* name;
        std::vector<CToothInfo> teeth;
        Rows rows;
    } cases[] = {
        {"two findings", {Tooth(11, FINDING_CAVITY | FINDING_FILLING)}, {{L"11", L"Cavity"}, {L"", L"Filling"}}},
        {"no finding", {Tooth(11, FINDING_HEALTHY)}, {}},
        {"healthy is never listed", {Tooth(11, FINDING_HEALTHY | FINDING_PERIO)}, {{L"11", L"Perio"}}},
        {"ascending",
         {Tooth(48, FINDING_MISSING), Tooth(21, FINDING_POST), Tooth(11, FINDING_UNKNOWN)},
         {{L"11", L"Unknown"}, {L"21", L"Post"}, {L"48", L"Missing"}}},
        {"bit order",
         {Tooth(36, FINDING_UNKNOWN | FINDING_CROWN_BRIDGE | FINDING_RR)},
         {{L"36", L"Crown and Bridge"}, {L"", L"R.R."}, {L"", L"Unknown"}}},
        {"rows follow on",
         {Tooth(11, FINDING_CAVITY | FINDING_IMPLANT), Tooth(12, FINDING_HEALTHY), Tooth(13, FINDING_FILLING)},
         {{L"11", L"Implant"}, {L"", L"Cavity"}, {L"13", L"Filling"}}},
        {"no teeth", {}, {}},
    };
    for (const auto& c : cases) {
        ShowTeeth(c.teeth);
        EXPECT_EQ(ListRows(dialog.findingList), c.rows) << c.name;
        ASSERT_EQ(dialog.currentTeeth.size(), c.teeth.size()) << c.name;
    }
}

TEST_F(FindingListTest, OnlyTheCurrentImagesTeethAreListedButEveryImageShowsItsKinds)
{
    dialog.toothChart.imageFiles = {L"C:\\a.jpg", L"C:\\b.jpg"};
    dialog.toothChart.currentIndex = 1;
    dialog.toothChart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY);
    dialog.toothChart.displayedTeeth[ToothKey(1, 21)] = Tooth(21, FINDING_FILLING);
    dialog.RefreshFindingList();
    EXPECT_EQ(ListRows(dialog.findingList), (Rows{{L"21", L"Filling"}}));
    EXPECT_TRUE(Visible(IDC_CHECK_CAVITY));
    EXPECT_TRUE(Visible(IDC_CHECK_FILLING));
}

TEST_F(FindingListTest, TheBoxesOfThePresentKindsStandInColumnsOfSlots)
{
    const struct {
        const char* name;
        RECT client;
        uint32_t kinds;
        std::vector<std::pair<int, RECT>> places; // control id, client rectangle
    } cases[] = {
        // Units 19 and 10: one slot per column, 114 x 20 from y = 980.
        {"1900 x 1000",
         {0, 0, 1900, 1000},
         FINDING_CROWN_BRIDGE | FINDING_CAVITY | FINDING_FILLING,
         {{IDC_CHECK_CROWN_BRIDGE, {19, 980, 133, 1000}},
          {IDC_CHECK_CAVITY, {152, 980, 266, 1000}},
          {IDC_CHECK_FILLING, {285, 980, 399, 1000}}}},
        // Units 10 and 5 on a strip from 490 to 515: a slot may end on the
        // strip's bottom edge; the next column starts past the last slot.
        {"two to a column",
         {0, 0, 1000, 515},
         FINDING_HEALTHY | FINDING_MISSING | FINDING_PERIO | FINDING_UNKNOWN,
         {{IDC_CHECK_OTHERS, {10, 490, 70, 500}},
          {IDC_CHECK_MISSING, {10, 505, 70, 515}},
          {IDC_CHECK_PERIO, {80, 490, 140, 500}},
          {IDC_CHECK_UNKNOWN, {80, 505, 140, 515}}}},
    };
    for (const auto& c : cases) {
        dialog.LayoutForClient(c.client);
        std::vector<CToothInfo> teeth;
        int number = 11;
        for (uint32_t bit = 1; bit != 0; bit <<= 1) {
            if ((c.kinds & bit) != 0) {
                teeth.push_back(Tooth(number++, bit));
            }
        }
        ShowTeeth(teeth);
        for (int id = IDC_CHECK_OTHERS; id <= IDC_CHECK_UNKNOWN; ++id) {
            const auto place =
                std::find_if(c.places.begin(), c.places.end(), [id](const auto& p) { return p.first == id; });
            EXPECT_EQ(Visible(id), place != c.places.end()) << c.name << " " << id;
            if (place != c.places.end()) {
                const RECT rect = ChildRect(id);
                EXPECT_TRUE(EqualRect(&rect, &place->second)) << c.name << " " << id << ": " << rect.left << ","
                                                              << rect.top << "," << rect.right << "," << rect.bottom;
            }
        }
    }
}

TEST_F(FindingListTest, AnImageWithoutTeethHidesEveryBox)
{
    ShowTeeth({Tooth(11, FINDING_CAVITY)});
    ASSERT_TRUE(Visible(IDC_CHECK_CAVITY));
    ShowTeeth({});
    for (int id = IDC_CHECK_OTHERS; id <= IDC_CHECK_UNKNOWN; ++id) {
        EXPECT_FALSE(Visible(id)) << id;
    }
    EXPECT_EQ(ListView_GetItemCount(dialog.findingList), 0);
}

size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    size_t count = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

TEST_F(FindingListTest, ABoxThatMovesLeavesNoCopyOfItselfBehind)
{
    const std::vector<CToothInfo> onlyFilling{Tooth(13, FINDING_FILLING)};
    ShowTeeth(onlyFilling);
    const std::vector<uint32_t> fresh = Strip();

    ShowTeeth({Tooth(11, FINDING_HEALTHY), Tooth(12, FINDING_CAVITY), Tooth(13, FINDING_FILLING)});
    Strip();
    ShowTeeth(onlyFilling);
    EXPECT_EQ(Differing(Strip(), fresh), 0u);
}

TEST_F(FindingListTest, TabAcrossTheStripLeavesNoFocusRectangleOnTheLabels)
{
    ShowTeeth({Tooth(11, FINDING_HEALTHY), Tooth(12, FINDING_CAVITY), Tooth(13, FINDING_FILLING)});
    const std::vector<uint32_t> neverFocused = Strip();

    // Cavity, Filling and Others in tab order, then on past the strip.
    SetFocus(dialog.GetDlgItem(IDC_CHECK_CAVITY));
    for (int box = 0; box < 3; ++box) {
        PressTab();
        // Painted before the next tab, as an idle dialog paints.
        ASSERT_TRUE(testutil::PumpUntilQueueEmpty());
        UpdateWindow(dialog.GetSafeHwnd());
    }
    ASSERT_EQ(GetParent(GetFocus()), dialog.GetSafeHwnd());
    const int focused = GetDlgCtrlID(GetFocus());
    ASSERT_TRUE(focused != IDC_CHECK_CAVITY && focused != IDC_CHECK_FILLING && focused != IDC_CHECK_OTHERS) << focused;
    EXPECT_EQ(Differing(Strip(), neverFocused), 0u);
}

TEST_F(FindingListTest, AfterAnAnalysisTeethWithoutFindingsAreHiddenUntilOthersIsChecked)
{
    Analyse("50,50,40,40,11\n150,50,40,40,21\n", "11,c\n");
    ASSERT_EQ(dialog.toothChart.displayedTeeth.size(), 2u);
    EXPECT_TRUE(Visible(IDC_CHECK_OTHERS));
    EXPECT_FALSE(Checked(IDC_CHECK_OTHERS));
    EXPECT_TRUE(Visible(IDC_CHECK_CAVITY));
    EXPECT_TRUE(Checked(IDC_CHECK_CAVITY));
    EXPECT_EQ(dialog.toothChart.displayFilter, FILTER_ALL_FINDINGS);
    EXPECT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 1);
    EXPECT_GT(testutil::CountClientPixels(dialog.toothChart.GetSafeHwnd(), ScreenBoxOf(11), NUMBER_RED), 0);
    EXPECT_EQ(testutil::CountClientPixels(dialog.toothChart.GetSafeHwnd(), ScreenBoxOf(21), NUMBER_RED), 0);

    Click(IDC_CHECK_OTHERS);
    EXPECT_EQ(dialog.filterMask, 0xFFFFFFFFu);
    EXPECT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 2);
    EXPECT_GT(testutil::CountClientPixels(dialog.toothChart.GetSafeHwnd(), ScreenBoxOf(21), NUMBER_RED), 0);
}

TEST_F(FindingListTest, UncheckingAKindHidesItsTeethAndTheirTipsAtOnceAndKeepsTheRows)
{
    Analyse("50,50,40,40,11\n150,50,40,40,21\n250,50,40,40,31\n", "11,c\n21,cf\n31,f\n");
    ASSERT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 3);
    const Rows rows = ListRows(dialog.findingList);
    ASSERT_EQ(rows.size(), 4u);

    Click(IDC_CHECK_CAVITY);
    EXPECT_FALSE(Checked(IDC_CHECK_CAVITY));
    EXPECT_EQ(dialog.filterMask, FILTER_ALL_FINDINGS & ~FINDING_CAVITY);
    EXPECT_EQ(dialog.toothChart.displayFilter, dialog.filterMask);
    // Tooth 11 had only Cavity; 21 stays for its Filling.
    EXPECT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 2);
    const HWND chart = dialog.toothChart.GetSafeHwnd();
    EXPECT_EQ(testutil::CountClientPixels(chart, ScreenBoxOf(11), NUMBER_RED), 0);
    EXPECT_GT(testutil::CountClientPixels(chart, ScreenBoxOf(21), NUMBER_RED), 0);
    EXPECT_GT(testutil::CountClientPixels(chart, ScreenBoxOf(31), NUMBER_RED), 0);
    EXPECT_EQ(ListRows(dialog.findingList), rows);

    Click(IDC_CHECK_CAVITY);
    EXPECT_EQ(dialog.filterMask, FILTER_ALL_FINDINGS);
    EXPECT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 3);
    EXPECT_GT(testutil::CountClientPixels(chart, ScreenBoxOf(11), NUMBER_RED), 0);
}

TEST_F(FindingListTest, TheCheckMarksFollowTheFilterAcrossAnalyses)
{
    Analyse("50,50,40,40,11\n150,50,40,40,21\n", "11,c\n21,f\n");
    Click(IDC_CHECK_FILLING);
    ASSERT_FALSE(Checked(IDC_CHECK_FILLING));

    Analyse("50,50,40,40,12\n150,50,40,40,22\n250,50,40,40,32\n", "12,f\n22,cp\n");
    EXPECT_FALSE(Checked(IDC_CHECK_FILLING));
    EXPECT_TRUE(Checked(IDC_CHECK_CAVITY));
    EXPECT_TRUE(Checked(IDC_CHECK_PERIO));
    EXPECT_FALSE(Checked(IDC_CHECK_OTHERS));
    EXPECT_EQ(dialog.toothChart.displayFilter, FILTER_ALL_FINDINGS & ~FINDING_FILLING);
    // Only 22 passes the filter: 12 has only Filling, 32 no finding.
    EXPECT_EQ(dialog.toothChart.toolTipCtrl.GetToolCount(), 1);
}

TEST_F(FindingListTest, TheFilterStartsWithEveryKindButHealthyAndAClickOfAnotherIdChangesNothing)
{
    EXPECT_EQ(dialog.filterMask, FILTER_ALL_FINDINGS);
    dialog.OnFilterCheck(IDC_BTN_LOAD);
    dialog.OnFilterCheck(IDC_CHECK_UNKNOWN + 1);
    EXPECT_EQ(dialog.filterMask, FILTER_ALL_FINDINGS);
}

} // namespace
