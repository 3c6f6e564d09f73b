// A filter check box unchecked on a chart that the user already sees: the
// chart is painted first, so the boxes that go must go by the click's own
// repaint, not by one still pending from the analysis.
#include "MainWindowHost.h"

#include "analysis/FindingKind.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace mainwindowtest;

namespace {

constexpr uint32_t BOX_GREY = 0x808080;
constexpr uint32_t NUMBER_RED = 0xFF0000;

class FilterRepaintTest : public MainWindowTest {
protected:
    // Pixels of `colour` along the box of `number`'s tooth and inside it.
    int PixelsOnTooth(int32_t number, uint32_t colour)
    {
        const HWND chart = dialog.toothChart.GetSafeHwnd();
        RECT box = dialog.toothChart.displayedTeeth.at(ToothKey(0, number)).screenBox;
        InflateRect(&box, 3, 3);
        return testutil::CountClientPixels(chart, box, colour);
    }

    bool ChartHasNothingToPaint() { return GetUpdateRect(dialog.toothChart.GetSafeHwnd(), nullptr, FALSE) == FALSE; }
};

TEST_F(FilterRepaintTest, UncheckingAKindOnAPaintedChartTakesItsTeethsBoxesOffTheScreen)
{
    server.SetScenario(Reply("50,50,40,40,11\n150,50,40,40,21\n", "11,c\n21,f\n"));
    dialog.OnOpenImage(Image(L"pano.jpg", RGB(0x20, 0x30, 0x60)));
    ASSERT_EQ(dialog.toothChart.displayedTeeth.size(), 2u);
    // The user sees the chart: every paint that the analysis asked for has
    // been done.
    ASSERT_TRUE(testutil::PumpUntil([&] { return ChartHasNothingToPaint(); }, 5000));
    ASSERT_GT(PixelsOnTooth(11, BOX_GREY), 20);
    ASSERT_GT(PixelsOnTooth(11, NUMBER_RED), 0);

    SendMessageW(dialog.GetDlgItem(IDC_CHECK_CAVITY), BM_CLICK, 0, 0);
    ASSERT_EQ(dialog.toothChart.displayFilter, FILTER_ALL_FINDINGS & ~FINDING_CAVITY);
    EXPECT_EQ(PixelsOnTooth(11, BOX_GREY), 0);
    EXPECT_EQ(PixelsOnTooth(11, NUMBER_RED), 0);
    EXPECT_GT(PixelsOnTooth(21, BOX_GREY), 20);
    EXPECT_GT(PixelsOnTooth(21, NUMBER_RED), 0);
}

} // namespace
