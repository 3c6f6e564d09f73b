// The sharpened view stays on across the images the chart loads: each new
// image shows sharpened at once, by every road that loads one, and its own
// sharpened copy is what an analysis uploads.
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "foundation/TempFiles.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>

using namespace charttest;

namespace {

constexpr RECT HOST_RECT = {700, 400, 1100, 700};
constexpr int WIDTH = 400;
constexpr int HEIGHT = 300;

// A grey ramp with stripes, lighter to the right when `rising`, else to the
// left. The sharpened view levels and sharpens it into other pixels, but no
// effect turns its slope around.
bool WriteRampImage(const std::wstring& path, bool rising)
{
    Gdiplus::Bitmap bitmap(WIDTH, HEIGHT, PixelFormat24bppRGB);
    for (int x = 0; x < WIDTH; ++x) {
        const int ramp = (rising ? x : WIDTH - 1 - x) * 60 / WIDTH;
        const BYTE level = static_cast<BYTE>(80 + ramp + ((x / 10) % 2) * 8);
        for (int y = 0; y < HEIGHT; ++y) {
            bitmap.SetPixel(x, y, Gdiplus::Color(level, level, level));
        }
    }
    return SaveAsBmp(bitmap, path);
}

// The green level of the left quarter of a picture minus that of its right
// quarter, summed over every fourth pixel: positive when it falls to the right.
int Slope(int width, int height, const std::function<int(int, int)>& green)
{
    int sum = 0;
    for (int y = 0; y < height; y += 4) {
        for (int x = 0; x < width / 4; x += 4) {
            sum += green(x, y) - green(width - 1 - x, y);
        }
    }
    return sum;
}

int SlopeOf(const Frame& frame)
{
    return Slope(frame.width, frame.height,
                 [&](int x, int y) { return static_cast<int>((frame.At(x, y) >> 8) & 0xFF); });
}

int SlopeOf(Gdiplus::Bitmap& picture)
{
    return Slope(static_cast<int>(picture.GetWidth()), static_cast<int>(picture.GetHeight()), [&](int x, int y) {
        Gdiplus::Color colour;
        picture.GetPixel(x, y, &colour);
        return static_cast<int>(colour.GetG());
    });
}

class SharpenedLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        ASSERT_TRUE(server.Start(0));
        server.SetScenario([] {
            FakeScenario s;
            s.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", ""}, {"#@DISINFO@#", ""}});
            return s;
        }());
        UseFakeServer(host.chart, server.Port());
        first = folder.File(L"first.bmp");
        second = folder.File(L"second.bmp");
        ASSERT_TRUE(WriteRampImage(first, true));
        ASSERT_TRUE(WriteRampImage(second, false));
    }
    void TearDown() override { DeleteTempFiles(); }

    void ToggleSharpen() { SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_TOGGLE_SHARPEN, 0); }

    testutil::ScratchFolder folder;
    ChartHost host{HOST_RECT};
    FakeAnalysisServer server;
    std::wstring first;
    std::wstring second;
};

TEST_F(SharpenedLoadTest, WithTheViewOnANewlyLoadedImageShowsAndUploadsItsOwnSharpenedPixels)
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
        ASSERT_LT(SlopeOf(ReadFrame(chart.GetSafeHwnd())), 0) << r.road;

        r.load();
        const Frame loaded = ReadFrame(chart.GetSafeHwnd());
        EXPECT_NE(chart.sharpenedImage, nullptr) << r.road;
        EXPECT_GT(SlopeOf(loaded), 0) << r.road;
        ToggleSharpen();
        EXPECT_TRUE(ReadFrame(chart.GetSafeHwnd()).pixels != loaded.pixels) << r.road << ": not sharpened";
        ToggleSharpen();

        const size_t requests = server.Requests().size();
        ASSERT_TRUE(chart.AnalyzeCurrentImage()) << r.road;
        const auto all = server.Requests();
        ASSERT_EQ(all.size(), requests + 1) << r.road;
        const std::wstring uploaded = folder.File(L"uploaded.jpg");
        testutil::WriteBytes(uploaded, FieldValue(all.back().bytes, "#@JPG@#"));
        Gdiplus::Bitmap picture(uploaded.c_str());
        ASSERT_EQ(picture.GetLastStatus(), Gdiplus::Ok) << r.road;
        EXPECT_GT(SlopeOf(picture), 0) << r.road;
    }
    SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\chart-sharpened-load.png"));
}

} // namespace
