// Boxes far larger than the chart, as a faulty or hostile server may send
// them: what falls inside the chart is drawn, as the whole box would draw it,
// and neither memory nor work grows with the box.
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "chart/ToothSprite.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "ui/GdiHandles.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

using namespace charttest;

namespace {

constexpr uint32_t GREY = Rgb(0x80, 0x80, 0x80);
constexpr uint32_t GREEN = Rgb(0x00, 0xFF, 0x00);
constexpr uint32_t BACKGROUND = 0x123456;
constexpr RECT CHART = {0, 0, 400, 300};
// The chart's own pens draw 2 pixels wide; with antialiasing a line touches
// at most this many rows or columns.
constexpr int LINE_TOUCH = 4;
constexpr size_t FEW_MEGABYTES = 4 * 1024 * 1024;
constexpr size_t SEVERAL_MEGABYTES = 8 * 1024 * 1024;

// A dashed grey pen as the chart's.
struct BoxPen : Gdiplus::Pen {
    BoxPen() : Gdiplus::Pen(Gdiplus::Color(0xFF, 0x80, 0x80, 0x80), 2.0f) { SetDashStyle(Gdiplus::DashStyleDash); }
};

// The sprite laid over a background of `area`'s size placed at its corner;
// the pixels of the area, 0xRRGGBB, row by row.
std::vector<uint32_t> LaidOver(const CToothSprite& sprite, const RECT& area)
{
    // DrawOver takes a buffer whose corner is the chart's (0, 0): the area
    // lies within one that reaches from there to its far corner.
    const int width = area.right;
    const int height = area.bottom;
    std::vector<uint32_t> buffer(static_cast<size_t>(width) * height, BACKGROUND);
    sprite.DrawOver(buffer.data(), width, height);
    std::vector<uint32_t> pixels;
    for (int y = std::max(0L, area.top); y < area.bottom; ++y) {
        for (int x = std::max(0L, area.left); x < area.right; ++x) {
            pixels.push_back(buffer[static_cast<size_t>(y) * width + x] & 0xFFFFFF);
        }
    }
    return pixels;
}

size_t Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    size_t count = a.size() == b.size() ? 0 : std::max(a.size(), b.size());
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        count += a[i] != b[i] ? 1 : 0;
    }
    return count;
}

size_t PeakMemory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// What GDI+ itself draws of `box` with `pen` over the background, in the
// chart's area, row by row.
std::vector<uint32_t> DrawnByGdiplus(const RECT& box, const Gdiplus::Pen& pen)
{
    ClientDC screen(nullptr);
    UniqueMemoryDC dc = UniqueMemoryDC::CompatibleWith(screen.Get());
    UniqueBitmap canvas(CreateCompatibleBitmap(screen.Get(), CHART.right, CHART.bottom));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = CHART.right;
    info.bmiHeader.biHeight = -CHART.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(CHART.right) * CHART.bottom);
    {
        ObjectSelection selected(dc.Get(), canvas.Get());
        UniqueGdiObject<HBRUSH> background(CreateSolidBrush(RGB(0x12, 0x34, 0x56)));
        FillRect(dc.Get(), &CHART, background.Get());
        Gdiplus::Graphics graphics(dc.Get());
        graphics.DrawRectangle(&pen, Gdiplus::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top));
    }
    GetDIBits(dc.Get(), canvas.Get(), 0, CHART.bottom, pixels.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return pixels;
}

TEST(LargeBoxSpriteTest, AnyBoxDrawsThePixelsGdiplusDrawsOfItInsideTheChart)
{
    const BoxPen pen;
    // Sides long and short, both corners inside or cut off: the dashes on
    // the sides that stay must fall where GDI+ puts them.
    const struct {
        const char* name;
        RECT box;
    } cases[] = {
        {"top and left inside", {37, 23, 937, 745}},
        {"right and bottom inside, negative corner", {-537, -411, 233, 145}},
        {"a band across", {-600, 101, 1003, 187}},
        {"inside, every length in a period", {20, 30, 81, 95}},
        {"inside, one period longer", {20, 30, 89, 103}},
        {"short sides", {200, 200, 231, 212}},
        {"thin", {300, 40, 302, 250}},
    };
    for (const auto& c : cases) {
        CToothSprite sprite;
        ASSERT_TRUE(sprite.Render(c.box, CHART, L"", &pen, nullptr, nullptr)) << c.name;
        const std::vector<uint32_t> seen = LaidOver(sprite, CHART);
        EXPECT_EQ(Differences(seen, DrawnByGdiplus(c.box, pen)), 0u) << c.name;
        EXPECT_GT(std::count(seen.begin(), seen.end(), GREY), 30) << c.name;
    }
}

TEST(LargeBoxSpriteTest, AnyBoxTouchesOnlyTheChartAndNoMoreOfItThanItsOutlineCanCover)
{
    const BoxPen pen;
    const RECT cases[] = {
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {-30000, -30000, 200, 150},         {50, 40, 30050, 30040},
        {INT_MIN, 100, INT_MAX, 200},         {-2000000000, 50, -1999999000, 60}, {100, INT_MIN, 300, -5},
    };
    // A buffer with room around the chart shows anything laid outside it.
    const RECT around = {0, 0, 2 * CHART.right, 2 * CHART.bottom};
    const size_t outlineBound = static_cast<size_t>(2 * (CHART.right + CHART.bottom) * LINE_TOUCH);
    for (const RECT& box : cases) {
        CToothSprite sprite;
        ASSERT_TRUE(sprite.Render(box, CHART, L"", &pen, nullptr, nullptr));
        const std::vector<uint32_t> pixels = LaidOver(sprite, around);
        size_t touched = 0;
        for (int y = 0; y < around.bottom; ++y) {
            for (int x = 0; x < around.right; ++x) {
                if (pixels[static_cast<size_t>(y) * around.right + x] != BACKGROUND) {
                    ++touched;
                    EXPECT_TRUE(x < CHART.right && y < CHART.bottom) << x << "," << y;
                }
            }
        }
        EXPECT_LE(touched, outlineBound) << box.left << "," << box.top << "," << box.right << "," << box.bottom;
    }
}

// How many of the positions along one line hold a box's pen, grey or, for
// the hovered tooth, green.
int PenPixelsAlong(const Frame& frame, POINT from, POINT to)
{
    int count = 0;
    const bool vertical = from.x == to.x;
    for (int i = vertical ? from.y : from.x; i <= (vertical ? to.y : to.x); ++i) {
        for (int across = -1; across <= 1; ++across) {
            const uint32_t pixel = vertical ? frame.At(from.x + across, i) : frame.At(i, from.y + across);
            if (pixel == GREY || pixel == GREEN) {
                ++count;
                break;
            }
        }
    }
    return count;
}

class LargeBoxChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        ASSERT_TRUE(server.Start(0));
        UseFakeServer(chart, server.Port());
        const std::wstring image = folder.File(L"image.bmp");
        ASSERT_TRUE(WriteSolidImage(image, CHART.right, CHART.bottom, RGB(0x20, 0x40, 0x60)));
        ASSERT_TRUE(chart.SetImageFiles({image}));
    }
    void TearDown() override { DeleteTempFiles(); }

    // Analyses the image with the server's `boxes` and lets the chart draw
    // them, with whatever it left for the window's idle time done.
    void AnalyseAndDraw(const std::string& boxes)
    {
        FakeScenario reply;
        reply.reply =
            ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", boxes}, {"#@DISINFO@#", "11,c\n21,c\n31,c\n"}});
        server.SetScenario(reply);
        ASSERT_TRUE(chart.AnalyzeCurrentImage());
        InvalidateRect(chart.GetSafeHwnd(), nullptr, TRUE);
        UpdateWindow(chart.GetSafeHwnd());
        ASSERT_TRUE(testutil::PumpUntil(
            [] {
                MSG pending{};
                return PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE) == FALSE;
            },
            10000));
    }

    testutil::ScratchFolder folder;
    ChartHost host{CHART};
    CToothStatic& chart = host.chart;
    FakeAnalysisServer server;
};

// A thousand boxes of 30000 x 30000 pixels, their top-left corners spread
// over the chart: every tooth's outline crosses it.
std::string ThousandLargeBoxes()
{
    std::string boxes;
    for (int i = 0; i < 1000; ++i) {
        const int left = (i * 37) % CHART.right;
        const int top = (i * 53) % CHART.bottom;
        boxes += std::to_string(left + 15000) + "," + std::to_string(top + 15000) + ",30000,30000," +
                 std::to_string(i + 1) + "\n";
    }
    return boxes;
}

TEST_F(LargeBoxChartTest, BoxesOfThirtyThousandPixelsAndNegativeCornersDrawTheirEdgesInsideTheChartInLittleMemory)
{
    SetCursorPos(CHART.right + 200, CHART.bottom + 200);
    // Normal teeth first: the memory a chart with boxes needs anyway.
    AnalyseAndDraw("100,100,40,60,11\n200,100,40,60,21\n300,100,40,60,31\n");
    const size_t normal = PeakMemory();

    // The server names a box by its centre and size. Tooth 11 reaches from
    // (50, 40) 30000 pixels right and down; tooth 21 ends at (300, 250)
    // from 30000 pixels above and left; tooth 31, 3000 x 2000 from
    // (150, 120), could still be drawn whole, at the cost of tens of
    // megabytes.
    const std::string threeBoxes = "15050,15040,30000,30000,11\n-14700,-14750,30000,30000,21\n1650,1120,3000,2000,31\n";
    // Of a thousand box lines only those of the 32 FDI tooth numbers are filed.
    const struct {
        const char* name;
        std::string boxes;
        size_t bound;
    } replies[] = {{"three", threeBoxes, FEW_MEGABYTES}, {"a thousand", ThousandLargeBoxes(), SEVERAL_MEGABYTES}};
    for (const auto& reply : replies) {
        AnalyseAndDraw(reply.boxes);
        // A tooth hovered, in its own look.
        const RECT box = chart.displayedTeeth.begin()->second.screenBox;
        SendMessageW(chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(box.left + 3, box.top + 3));
        UpdateWindow(chart.GetSafeHwnd());
        EXPECT_LT(PeakMemory() - normal, reply.bound) << reply.name;
    }
    AnalyseAndDraw(threeBoxes);
    ASSERT_EQ(chart.displayedTeeth.size(), 3u);
    EXPECT_EQ(chart.displayedTeeth[21].screenBox.left, -29700);

    const Frame frame = ReadFrame(chart.GetSafeHwnd());
    ASSERT_EQ(frame.width, CHART.right);
    const struct {
        const char* edge;
        POINT from;
        POINT to;
    } edges[] = {
        {"11 left", {50, 45}, {50, 295}},    {"11 top", {55, 40}, {395, 40}},     {"21 right", {300, 5}, {300, 245}},
        {"21 bottom", {5, 250}, {295, 250}}, {"31 left", {150, 125}, {150, 295}}, {"31 top", {155, 120}, {395, 120}},
    };
    for (const auto& e : edges) {
        const int length = (e.to.x - e.from.x) + (e.to.y - e.from.y) + 1;
        // Dashed: three parts drawn in four.
        EXPECT_GT(PenPixelsAlong(frame, e.from, e.to), length * 6 / 10) << e.edge;
    }
    SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\chart-large-boxes.png"));
}

} // namespace
