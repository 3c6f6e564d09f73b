// Screen capture across two monitors, the second left of the primary (run by
// two-monitors.sh on a display of its own).
#include "ColourWindow.h"
#include "WinTestUtil.h"

#include "capture/SCatpure.h"

#include <gtest/gtest.h>

namespace {

using namespace capturetest;

constexpr int SECONDARY_WIDTH = 1024;

BOOL CALLBACK CountMonitor(HMONITOR, HDC, LPRECT, LPARAM counter)
{
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int CountMonitors()
{
    int count = 0;
    EnumDisplayMonitors(nullptr, nullptr, CountMonitor, reinterpret_cast<LPARAM>(&count));
    return count;
}

class TwoMonitorCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A display set up wrongly fails here rather than passing by chance.
        ASSERT_EQ(CountMonitors(), 2);
        ASSERT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), -SECONDARY_WIDTH);
    }

    testutil::ScratchFolder folder;
};

TEST_F(TwoMonitorCaptureTest, ARectangleAcrossBothMonitorsGivesOneImageFromItsOwnCoordinates)
{
    const ColourWindow left({-100, 100, 0, 200}, RED);
    const ColourWindow right({0, 100, 100, 200}, BLUE);
    const ColourWindow onSecondary({-900, 300, -800, 400}, GREEN);
    for (const ColourWindow* window : {&left, &right, &onSecondary}) {
        ASSERT_TRUE(window->OnScreen());
    }
    const struct {
        const char* name;
        RECT rect;
        int width;
        std::vector<Probe> probes;
    } cases[] = {
        {"across both", {-100, 100, 100, 200}, 200, {{0, 0, RED}, {94, 50, RED}, {106, 50, BLUE}, {199, 99, BLUE}}},
        {"on the secondary alone", {-900, 300, -800, 400}, 100, {{0, 0, GREEN}, {99, 99, GREEN}}},
        {"past the virtual screen's left edge",
         {-SECONDARY_WIDTH - 50, 300, -SECONDARY_WIDTH + 50, 400},
         100,
         {{0, 0, BLACK}, {44, 94, BLACK}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder.File(L"capture.jpg");
        ASSERT_TRUE(CSCatpure().CaptureRectToFile(&c.rect, path.c_str()));
        ExpectImage(path, c.width, 100, c.probes);
    }
}

TEST_F(TwoMonitorCaptureTest, AWindowAtTheVirtualScreensLeftEdgeIsCapturedPastIt)
{
    const ColourWindow edge({-SECONDARY_WIDTH, 500, -SECONDARY_WIDTH + 50, 600}, BLUE);
    ASSERT_TRUE(edge.OnScreen());
    const RECT rect{-SECONDARY_WIDTH - 50, 500, -SECONDARY_WIDTH + 50, 600};
    const std::wstring path = folder.File(L"edge.jpg");
    ASSERT_TRUE(CSCatpure().CaptureRectToFile(&rect, path.c_str()));
    ExpectImage(path, 100, 100, {{0, 0, BLACK}, {44, 94, BLACK}, {56, 5, BLUE}, {99, 99, BLUE}});
}

} // namespace
