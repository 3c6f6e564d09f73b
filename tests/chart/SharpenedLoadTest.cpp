// The sharpened view stays on across the images the chart loads: each new
// image shows sharpened at once, by every road that loads one.
#include "ChartTestHost.h"
#include "WinTestUtil.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>

using namespace charttest;

namespace {

constexpr RECT HOST_RECT = {700, 400, 1100, 700};

// A grey ramp with stripes, starting at `base`: the sharpened view levels and
// sharpens it into other pixels.
bool WriteRampImage(const std::wstring& path, int width, int height, int base)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int x = 0; x < width; ++x) {
        const BYTE level = static_cast<BYTE>(base + x * 60 / width + ((x / 10) % 2) * 8);
        for (int y = 0; y < height; ++y) {
            bitmap.SetPixel(x, y, Gdiplus::Color(level, level, level));
        }
    }
    return SaveAsBmp(bitmap, path);
}

class SharpenedLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        first = folder.File(L"first.bmp");
        second = folder.File(L"second.bmp");
        ASSERT_TRUE(WriteRampImage(first, 400, 300, 60));
        ASSERT_TRUE(WriteRampImage(second, 400, 300, 120));
    }

    void ToggleSharpen() { SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_TOGGLE_SHARPEN, 0); }

    testutil::ScratchFolder folder;
    ChartHost host{HOST_RECT};
    std::wstring first;
    std::wstring second;
};

TEST_F(SharpenedLoadTest, WithTheViewOnANewlyLoadedImageShowsItsSharpenedPixels)
{
    CToothStatic& chart = host.chart;
    const struct {
        const char* road;
        std::function<void()> load;
    } roads[] = {
        // Load, the hand-off, a capture and the load command set a new list.
        {"a new image list", [&] { ASSERT_TRUE(chart.SetImageFiles({second})); }},
        // Next and Prev move in the list and reload.
        {"the next image of the list",
         [&] {
             chart.currentIndex = 1;
             chart.displayedTeeth.clear();
             chart.LoadCurrentImage();
         }},
    };
    for (const auto& r : roads) {
        ASSERT_TRUE(chart.SetImageFiles({first, second}));
        if (!chart.showSharpened) {
            ToggleSharpen();
        }
        ASSERT_NE(chart.sharpenedImage, nullptr) << r.road;

        r.load();
        const Frame loaded = ReadFrame(chart.GetSafeHwnd());
        EXPECT_NE(chart.sharpenedImage, nullptr) << r.road;

        // What the view shows of the second image, switched off and on again.
        ToggleSharpen();
        const Frame plain = ReadFrame(chart.GetSafeHwnd());
        ToggleSharpen();
        const Frame sharpened = ReadFrame(chart.GetSafeHwnd());
        ASSERT_NE(sharpened.pixels, plain.pixels) << r.road;
        EXPECT_TRUE(loaded.pixels == sharpened.pixels) << r.road;
    }
    SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\chart-sharpened-load.png"));
}

} // namespace
