#include "ChartTestHost.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>
#include <thread>

using namespace charttest;

namespace {

using testutil::ClipboardText;
using testutil::SetClipboardText;

constexpr COLORREF IMAGE_COLOUR = RGB(0x20, 0x40, 0x60);
constexpr uint32_t IMAGE_PIXEL = Rgb(0x20, 0x40, 0x60);
constexpr uint32_t GREY = Rgb(0x80, 0x80, 0x80);
constexpr uint32_t GREEN = Rgb(0x00, 0xFF, 0x00);

bool IsReddish(uint32_t pixel)
{
    const int r = (pixel >> 16) & 0xFF;
    const int g = (pixel >> 8) & 0xFF;
    const int b = pixel & 0xFF;
    return r > g + 60 && r > b + 60;
}

// How many columns from `x0` to `x1` hold `colour` in one of the rows around `y`.
int ColumnsWith(const Frame& frame, uint32_t colour, int x0, int x1, int y)
{
    int count = 0;
    for (int x = x0; x <= x1; ++x) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (frame.At(x, y + dy) == colour) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// How many rows from `y0` to `y1` hold `colour` in one of the columns around `x`.
int RowsWith(const Frame& frame, uint32_t colour, int x, int y0, int y1)
{
    int count = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (frame.At(x + dx, y) == colour) {
                ++count;
                break;
            }
        }
    }
    return count;
}

bool AllPixels(const Frame& frame, const RECT& area, uint32_t colour)
{
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (frame.At(x, y) != colour) {
                return false;
            }
        }
    }
    return true;
}

// The leftmost column of reddish pixels in the area, or -1.
int FirstReddishColumn(const Frame& frame, const RECT& area)
{
    for (int x = area.left; x < area.right; ++x) {
        for (int y = area.top; y < area.bottom; ++y) {
            if (IsReddish(frame.At(x, y))) {
                return x;
            }
        }
    }
    return -1;
}

class ToothStaticTest : public ::testing::Test {
protected:
    std::wstring Image(const wchar_t* name, int width, int height, COLORREF colour = IMAGE_COLOUR)
    {
        const std::wstring path = folder.File(name);
        EXPECT_TRUE(WriteSolidImage(path, width, height, colour));
        return path;
    }

    testutil::ScratchFolder folder;
};

TEST_F(ToothStaticTest, ImageBoxesMapToTheChartWithTruncatedFloatProducts)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    const struct {
        int imageWidth;
        int imageHeight;
        RECT client;
        float scaleX;
        float scaleY;
        RECT imageBox;
        RECT screenBox;
    } cases[] = {
        {1000, 500, {0, 0, 2000, 1000}, 2.0f, 2.0f, {10, 20, 30, 40}, {20, 40, 60, 80}},
        {3000,
         1500,
         {0, 0, 1000, 1000},
         1000.0f / 3000.0f,
         1000.0f / 1500.0f,
         {100, 100, 300, 300},
         {33, 66, 100, 200}},
    };
    for (const auto& c : cases) {
        const std::wstring name = std::to_wstring(c.imageWidth) + L".bmp";
        ASSERT_TRUE(chart.SetImageFiles({Image(name.c_str(), c.imageWidth, c.imageHeight)}));
        EXPECT_EQ(chart.imageWidth, c.imageWidth);
        EXPECT_EQ(chart.imageHeight, c.imageHeight);
        chart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY, c.imageBox);
        chart.UpdateLayout(&c.client);
        EXPECT_EQ(chart.scaleX, c.scaleX);
        EXPECT_EQ(chart.scaleY, c.scaleY);
        const RECT& box = chart.displayedTeeth[ToothKey(0, 11)].screenBox;
        EXPECT_EQ(box.left, c.screenBox.left);
        EXPECT_EQ(box.top, c.screenBox.top);
        EXPECT_EQ(box.right, c.screenBox.right);
        EXPECT_EQ(box.bottom, c.screenBox.bottom);
    }
}

TEST_F(ToothStaticTest, AtMost4096ImageFilesAreTaken)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    std::vector<std::wstring> files(4096, Image(L"a.bmp", 40, 30));
    ASSERT_TRUE(chart.SetImageFiles(files));
    EXPECT_EQ(chart.imageFiles.size(), 4096u);
    EXPECT_EQ(chart.currentIndex, 0);
    chart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY, {1, 1, 5, 5});
    chart.currentIndex = 7;

    files.push_back(Image(L"b.bmp", 50, 30));
    EXPECT_FALSE(chart.SetImageFiles(files));
    EXPECT_EQ(chart.imageFiles.size(), 4096u);
    EXPECT_EQ(chart.currentIndex, 7);
    EXPECT_EQ(chart.displayedTeeth.size(), 1u);
    EXPECT_EQ(chart.imageWidth, 40);
}

TEST_F(ToothStaticTest, AnEmptyListLeavesNoImageAndRequestsNoRepaint)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    ASSERT_TRUE(chart.SetImageFiles({Image(L"a.bmp", 40, 30)}));
    EXPECT_EQ(ReadFrame(chart.GetSafeHwnd()).At(200, 150), IMAGE_PIXEL);

    ASSERT_TRUE(chart.SetImageFiles({}));
    EXPECT_EQ(chart.currentIndex, -1);
    EXPECT_EQ(chart.image, nullptr);
    EXPECT_FALSE(GetUpdateRect(chart.GetSafeHwnd(), nullptr, FALSE));
    // The back buffer keeps the picture until the next erase fills it grey.
    InvalidateRect(chart.GetSafeHwnd(), nullptr, TRUE);
    EXPECT_EQ(ReadFrame(chart.GetSafeHwnd()).At(200, 150), GREY);
}

TEST_F(ToothStaticTest, AFileThatCannotBeDecodedShowsAsNoImage)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    ASSERT_TRUE(chart.SetImageFiles({Image(L"a.bmp", 40, 30)}));
    EXPECT_EQ(ReadFrame(chart.GetSafeHwnd()).At(200, 150), IMAGE_PIXEL);

    const std::wstring damaged = folder.File(L"damaged.jpg");
    testutil::WriteBytes(damaged, "\xFF\xD8\xFF not really a picture");
    ASSERT_TRUE(chart.SetImageFiles({damaged}));
    EXPECT_EQ(chart.currentIndex, 0);
    EXPECT_EQ(chart.image, nullptr);
    EXPECT_EQ(chart.imageWidth, 0);
    EXPECT_EQ(chart.imageHeight, 0);
    EXPECT_EQ(chart.scaleX, 0.0f);
    EXPECT_EQ(chart.scaleY, 0.0f);
    EXPECT_EQ(ReadFrame(chart.GetSafeHwnd()).At(200, 150), GREY);
}

TEST_F(ToothStaticTest, BoxesNumbersHoverAndFilterAtThePixels)
{
    ChartHost host({0, 0, 800, 600});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    ASSERT_TRUE(chart.SetImageFiles({Image(L"a.bmp", 400, 300)}));
    chart.displayFilter = 0xFFFF & ~FINDING_IMPLANT;
    auto& teeth = chart.displayedTeeth;
    teeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY, {50, 50, 100, 100});
    // The hovered tooth comes first in key order; a box drawn later lies on
    // the same place.
    teeth[ToothKey(0, 21)] = Tooth(21, FINDING_CAVITY, {150, 50, 200, 100});
    teeth[ToothKey(0, 21)].flags = TOOTH_HOVER;
    teeth[ToothKey(1, 21)] = Tooth(21, FINDING_CAVITY, {150, 50, 200, 100});
    teeth[ToothKey(0, 31)] = Tooth(31, FINDING_IMPLANT, {50, 150, 100, 200});
    teeth[ToothKey(0, 41)] = Tooth(41, FINDING_IMPLANT, {150, 150, 200, 200});
    teeth[ToothKey(0, 41)].flags = TOOTH_HOVER;
    teeth[ToothKey(0, 12)] = Tooth(12, FINDING_CAVITY, {250, 50, 300, 100});
    teeth[ToothKey(0, 123)] = Tooth(123, FINDING_CAVITY, {250, 150, 300, 200});
    teeth[ToothKey(0, 8)] = Tooth(8, FINDING_CAVITY, {320, 50, 370, 100});
    teeth[ToothKey(0, 88)] = Tooth(88, FINDING_CAVITY, {320, 150, 370, 200});
    chart.UpdateLayout(nullptr);
    InvalidateRect(chart.GetSafeHwnd(), nullptr, TRUE);
    const Frame frame = ReadFrame(chart.GetSafeHwnd());

    // Tooth 11 at (100, 100, 200, 200): a grey dashed outline on its edges.
    const int topGrey = ColumnsWith(frame, GREY, 105, 195, 100);
    EXPECT_GT(topGrey, 45);
    EXPECT_LT(topGrey, 91);
    EXPECT_GT(ColumnsWith(frame, GREY, 105, 195, 200), 45);
    EXPECT_GT(RowsWith(frame, GREY, 100, 105, 195), 45);
    EXPECT_GT(RowsWith(frame, GREY, 200, 105, 195), 45);
    EXPECT_EQ(frame.At(180, 180), IMAGE_PIXEL);
    // Its red number at the top-left corner, nowhere else in the box.
    EXPECT_GE(FirstReddishColumn(frame, {100, 100, 140, 125}), 100);
    EXPECT_EQ(FirstReddishColumn(frame, {140, 125, 198, 198}), -1);

    // The hovered tooth at (300, 100, 400, 200) is green over the grey box
    // drawn after it in key order.
    EXPECT_GT(ColumnsWith(frame, GREEN, 305, 395, 100), 45);
    EXPECT_EQ(ColumnsWith(frame, GREY, 305, 395, 100), 0);
    EXPECT_EQ(RowsWith(frame, GREY, 400, 105, 195), 0);

    // Teeth the filter excludes leave the image untouched, hovered or not.
    EXPECT_TRUE(AllPixels(frame, {97, 297, 204, 404}, IMAGE_PIXEL));
    EXPECT_TRUE(AllPixels(frame, {297, 297, 404, 404}, IMAGE_PIXEL));

    // 123 is drawn as 12.
    for (int y = 95; y < 205; ++y) {
        for (int x = 495; x < 605; ++x) {
            ASSERT_EQ(frame.At(x, y + 200), frame.At(x, y)) << x << "," << y;
        }
    }
    // 8 is drawn as " 8": its digit stands further right than the first 8 of 88.
    const int single = FirstReddishColumn(frame, {640, 100, 700, 125});
    const int twin = FirstReddishColumn(frame, {640, 300, 700, 325});
    ASSERT_GE(twin, 640);
    EXPECT_GE(single, twin + 2);
}

TEST_F(ToothStaticTest, AChartLargerThanTheScreenIsDrawnWhole)
{
    // The chart reaches past the primary screen's 1600 x 900 on both sides;
    // its bottom-right corner is on the screen.
    ChartHost host({-400, -100, 1600, 900});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    ASSERT_TRUE(chart.SetImageFiles({Image(L"a.bmp", 1000, 500)}));
    chart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY, {850, 475, 890, 495});
    chart.UpdateLayout(nullptr);
    InvalidateRect(chart.GetSafeHwnd(), nullptr, TRUE);
    const Frame frame = ReadFrame(chart.GetSafeHwnd());
    ASSERT_EQ(frame.width, 2000);
    EXPECT_EQ(frame.At(1770, 985), IMAGE_PIXEL);
    EXPECT_EQ(frame.At(1990, 995), IMAGE_PIXEL);
    EXPECT_GT(ColumnsWith(frame, GREY, 1705, 1775, 950), 30);
}

TEST_F(ToothStaticTest, MouseMessagesThroughThePreTranslationReachTheTooltip)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    HWND tip = chart.toolTipCtrl.GetSafeHwnd();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 200);
    EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 30000);
    EXPECT_EQ(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 500);
    // The control may keep a copy of the font it was given.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, 36);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_TRUE(font.lfItalic);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = chart.GetSafeHwnd();
    tool.uId = 1;
    tool.rect = {10, 10, 200, 200};
    wchar_t text[] = L"tip";
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));

    POINT inside{50, 50};
    ClientToScreen(chart.GetSafeHwnd(), &inside);
    SetCursorPos(inside.x, inside.y);
    MSG move{chart.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 50), GetTickCount(), inside};
    EXPECT_FALSE(chart.PreTranslateMessage(&move));
    EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, 5000));
}

TEST_F(ToothStaticTest, ThePointerLeavingTheChartInOneMoveTakesTheHoverAndItsTipDown)
{
    ChartHost host({0, 0, 400, 300});
    ASSERT_TRUE(host.created);
    CToothStatic& chart = host.chart;
    const HWND window = chart.GetSafeHwnd();
    SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(chart.SetImageFiles({Image(L"a.bmp", 400, 300)}));
    chart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY, {50, 50, 150, 150});
    RECT client{};
    GetClientRect(window, &client);
    chart.UpdateLayout(&client);
    chart.AddToothTips();
    const RECT box = {45, 45, 155, 155};
    const HWND tip = chart.toolTipCtrl.GetSafeHwnd();
    auto pointTo = [](POINT screen) {
        SetCursorPos(screen.x, screen.y);
        return testutil::PumpUntil(
            [&] {
                POINT at{};
                GetCursorPos(&at);
                return at.x == screen.x && at.y == screen.y;
            },
            5000);
    };
    POINT inside = {100, 100};
    ClientToScreen(window, &inside);
    // A top-most window of the chart's thread over its right half, as the
    // capture toolbar lies over the chart's corner; it goes with its owner.
    POINT overRight = {200, 0};
    ClientToScreen(window, &overRight);
    const HWND over(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"BUTTON", L"",
                                    WS_POPUP | WS_VISIBLE, overRight.x, overRight.y, 200, 300, host.GetSafeHwnd(),
                                    nullptr, nullptr, nullptr));
    ASSERT_NE(over, nullptr);

    const struct {
        const char* where;
        POINT to;
    } cases[] = {
        // Straight out past the bottom right: the chart sees no move outside
        // its boxes.
        {"past the edge", {inside.x + 500, inside.y + 400}},
        {"onto a window over the chart", {inside.x + 200, inside.y}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(pointTo(inside)) << c.where;
        ASSERT_TRUE(testutil::PumpUntil(
            [&] {
                return chart.hoveredKey == ToothKey(0, 11) && testutil::CountClientPixels(window, box, GREEN) > 50 &&
                       IsWindowVisible(tip) != FALSE;
            },
            5000))
            << c.where;

        ASSERT_TRUE(pointTo(c.to)) << c.where;
        EXPECT_TRUE(testutil::PumpUntil(
            [&] { return chart.hoveredKey == 0 && testutil::CountClientPixels(window, box, GREEN) == 0; }, 5000))
            << c.where;
        EXPECT_GT(testutil::CountClientPixels(window, box, GREY), 50) << c.where;
        EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindowVisible(tip) == FALSE; }, 5000)) << c.where;
    }
}

class ClipboardTest : public ToothStaticTest {
protected:
    void SetUp() override
    {
        recordTemplate.body = L"齲齒：[%ccc%]";
        recordTemplate.prefix = L"#";
        recordTemplate.none = L"無";
        teeth[36] = Tooth(36, FINDING_CAVITY, {});
        teeth[47] = Tooth(47, FINDING_CAVITY, {});
        SetClipboardText(L"previous");
    }
    void TearDown() override { g_systemSetting.clipboardToken = false; }

    ChartHost host{{0, 0, 200, 100}};
    CRecordTemplateInfo recordTemplate;
    ToothInfoMap teeth;
};

TEST_F(ClipboardTest, TheFindingsTextReachesTheClipboardAsUnicodeTextWithOrWithoutTheMarker)
{
    ASSERT_TRUE(host.created);
    for (const bool marker : {false, true}) {
        g_systemSetting.clipboardToken = marker;
        std::wstring out = L"stale";
        ASSERT_TRUE(host.chart.CopyFindingsText(&teeth, &recordTemplate, &out));
        const std::wstring expected = marker ? L"齲齒：#36,47[%BRISVANE_ANALYSIS%]" : L"齲齒：#36,47";
        EXPECT_EQ(out, expected);
        EXPECT_EQ(ClipboardText(), expected);
    }
}

TEST_F(ClipboardTest, AnEmptyTextSucceedsAndLeavesTheClipboardAlone)
{
    ASSERT_TRUE(host.created);
    recordTemplate.body.clear();
    std::wstring out = L"stale";
    EXPECT_TRUE(host.chart.CopyFindingsText(&teeth, &recordTemplate, &out));
    EXPECT_EQ(out, L"");
    EXPECT_EQ(ClipboardText(), L"previous");
    EXPECT_FALSE(host.chart.CopyFindingsText(nullptr, &recordTemplate, &out));
}

TEST_F(ClipboardTest, AClipboardHeldElsewhereGetsTheTextOnceItIsLetGo)
{
    ASSERT_TRUE(host.created);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        OpenClipboard(owner);
        SetEvent(held);
        WaitForSingleObject(release, 10000);
        CloseClipboard();
        DestroyWindow(owner);
    });
    WaitForSingleObject(held, 10000);
    std::wstring out = L"stale";
    EXPECT_TRUE(host.chart.CopyFindingsText(&teeth, &recordTemplate, &out));
    EXPECT_EQ(out, L"齲齒：#36,47");
    SetEvent(release);
    holder.join();
    CloseHandle(held);
    CloseHandle(release);
    EXPECT_TRUE(testutil::PumpUntil([] { return ClipboardText() == L"齲齒：#36,47"; }, 5000));
}

TEST_F(ClipboardTest, TheCopyCommandUsesTheUserTemplateOfTheWorkingDirectory)
{
    ASSERT_TRUE(host.created);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.Path().c_str());
    host.chart.displayedTeeth = teeth;
    host.chart.analysedGeneration = host.chart.displayGeneration;

    SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_FINDINGS, 0);
    EXPECT_EQ(ClipboardText(), L"previous");

    CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
    testutil::WriteBytes(folder.File(L"Record\\User.tpl"),
                         "[%BODY_BGN%]C [%ccc%][%BODY_END%][%PREFIX_BGN%]<[%PREFIX_END%]");
    SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_FINDINGS, 0);
    EXPECT_EQ(ClipboardText(), L"C <36,47");

    // Teeth that no accepted analysis filed copy nothing.
    SetClipboardText(L"previous");
    ASSERT_TRUE(host.chart.SetImageFiles({}));
    host.chart.displayedTeeth = teeth;
    SendMessageW(host.chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_FINDINGS, 0);
    EXPECT_EQ(ClipboardText(), L"previous");
    SetCurrentDirectoryW(previous);
}

} // namespace
