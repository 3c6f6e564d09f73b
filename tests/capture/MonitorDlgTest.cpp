// The capture-region picker under Wine, driven by mouse messages to its
// overlay and by answers to its question: where the overlay lies, which
// rectangle a drag selects, Yes, No and Cancel, the tint, a picker without
// a photograph, and the toolbar while the picker runs. Then the chooser over
// a made-up monitor list, and the monitor arithmetic.
#include "capture/MonitorDlg.h"
#include "capture/SelectDisplayDlg.h"
#include "capture/ToolbarDlg.h"

#include "CaptureTestUtil.h"
#include "WinTestUtil.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using capturetest::Answer;
using capturetest::Asked;
using capturetest::Check;
using capturetest::Drag;
using capturetest::OverlayShown;
using capturetest::TimerScript;

RECT PrimaryWorkArea()
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

RECT Offset(RECT rect, const RECT& by)
{
    OffsetRect(&rect, by.left, by.top);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

::testing::AssertionResult NearColor(uint32_t actual, uint32_t expected)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > 2) {
            return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

// The colour a pixel gets under the tint of alpha 192 over red 255, green
// and blue 128.
uint32_t Tinted(uint32_t pixel)
{
    const uint32_t tint[3] = {128, 128, 255}; // blue, green, red
    uint32_t result = 0;
    for (int channel = 0; channel < 3; ++channel) {
        const uint32_t under = (pixel >> (channel * 8)) & 0xFF;
        result |= ((tint[channel] * 192 + under * 63 + 127) / 255) << (channel * 8);
    }
    return result;
}

uint32_t SnapshotPixel(Gdiplus::Bitmap& snapshot, int x, int y)
{
    Gdiplus::Color color;
    snapshot.GetPixel(x, y, &color);
    return color.GetValue() & 0xFFFFFF;
}

BOOL CALLBACK CountOverlay(HWND window, LPARAM counter)
{
    auto* count = reinterpret_cast<std::pair<RECT, int>*>(counter);
    RECT rect{};
    GetWindowRect(window, &rect);
    if (IsWindowVisible(window) && EqualRect(&rect, &count->first)) {
        ++count->second;
    }
    return TRUE;
}

// The visible windows of this thread that cover `area` exactly.
int CountOverlays(const RECT& area)
{
    std::pair<RECT, int> count{area, 0};
    EnumThreadWindows(GetCurrentThreadId(), CountOverlay, reinterpret_cast<LPARAM>(&count));
    return count.second;
}

// Counts the access violations of the process while it lives: the window
// procedure's caller under Wine swallows a fault in a paint handler, so only
// a first look at each exception shows it.
class FaultCounter {
public:
    FaultCounter() : handler(AddVectoredExceptionHandler(1, Count)) { faults = 0; }
    FaultCounter(const FaultCounter&) = delete;
    FaultCounter& operator=(const FaultCounter&) = delete;
    ~FaultCounter() { RemoveVectoredExceptionHandler(handler); }

    static LONG faults;

private:
    static LONG CALLBACK Count(EXCEPTION_POINTERS* exception)
    {
        if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) {
            ++faults;
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* handler;
};

LONG FaultCounter::faults = 0;

// A picker whose screen copy failed: it has no photograph to show.
class BlindPicker : public CMonitorDlg {
public:
    void CaptureVirtualScreen() override { DropPictures(); }
};

class PickerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1) << "these tests run on a display of one monitor";
        work = PrimaryWorkArea();
    }

    RECT work{};
};

TEST_F(PickerTest, OneMonitorOpensTheOverlayAtOnceOverItsWorkArea)
{
    CMonitorDlg picker;
    RECT overlayRect{};
    bool chooserSeen = false;
    TimerScript script({OverlayShown(picker), Check([&] {
                            GetWindowRect(picker.GetSafeHwnd(), &overlayRect);
                            chooserSeen = testutil::FindVisibleWindow(nullptr, L"Select a Monitor") != nullptr;
                        }),
                        Drag(picker, POINT{10, 10}, POINT{50, 40}), Asked(), Answer(IDYES)});
    RECT out{};
    EXPECT_TRUE(picker.SelectCaptureRegion(&out));
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(SameRect(overlayRect, work));
    EXPECT_FALSE(chooserSeen);
    EXPECT_TRUE(SameRect(out, Offset(RECT{10, 10, 50, 40}, work)));
}

TEST_F(PickerTest, ADragEitherWaySelectsTheSameRectangle)
{
    const struct {
        POINT from;
        POINT to;
    } drags[] = {
        {{100, 50}, {300, 250}},
        {{300, 250}, {100, 50}},
        {{300, 50}, {100, 250}},
        {{100, 250}, {300, 50}},
    };
    for (const auto& drag : drags) {
        CMonitorDlg picker;
        TimerScript script({OverlayShown(picker), Drag(picker, drag.from, drag.to), Asked(), Answer(IDYES)});
        RECT out{};
        EXPECT_TRUE(picker.SelectCaptureRegion(&out));
        EXPECT_TRUE(SameRect(out, Offset(RECT{100, 50, 300, 250}, work)))
            << out.left << "," << out.top << "," << out.right << "," << out.bottom;
    }
}

TEST_F(PickerTest, TheSelectionIsConvertedFromTheOverlaysClientToScreenCoordinates)
{
    // The overlay placed over work areas that do not start at the screen's
    // corner, as on a second monitor; the second lies beyond this display,
    // where the photograph has no picture for it.
    const struct {
        RECT workArea;
        RECT selection;
    } cases[] = {
        {{200, 120, 1000, 720}, {300, 170, 500, 370}},
        {{1920, 0, 2720, 600}, {2020, 50, 2220, 250}},
    };
    for (const auto& test : cases) {
        CMonitorDlg picker;
        picker.CaptureVirtualScreen();
        picker.monitorRect = test.workArea;
        picker.UpdateOverlay(nullptr);
        RECT overlayRect{};
        TimerScript script({[&] { return picker.GetSafeHwnd() != nullptr; },
                            Check([&] { GetWindowRect(picker.GetSafeHwnd(), &overlayRect); }),
                            Drag(picker, POINT{100, 50}, POINT{300, 250}), Asked(), Answer(IDYES)});
        EXPECT_EQ(picker.DoModal(), IDOK);
        EXPECT_TRUE(SameRect(overlayRect, test.workArea));
        EXPECT_TRUE(SameRect(picker.selection, test.selection));
    }
}

TEST_F(PickerTest, CancelKeepsTheOverlayAndASecondDragWins)
{
    CMonitorDlg picker;
    bool shownAfterCancel = false;
    TimerScript script({OverlayShown(picker), Drag(picker, POINT{20, 20}, POINT{60, 60}), Asked(), Answer(IDCANCEL),
                        [] { return capturetest::FindMessageBox() == nullptr; },
                        Check([&] { shownAfterCancel = IsWindowVisible(picker.GetSafeHwnd()) != FALSE; }),
                        Drag(picker, POINT{200, 150}, POINT{120, 90}), Asked(), Answer(IDYES)});
    RECT out{};
    EXPECT_TRUE(picker.SelectCaptureRegion(&out));
    EXPECT_TRUE(shownAfterCancel);
    EXPECT_TRUE(SameRect(out, Offset(RECT{120, 90, 200, 150}, work)));
}

TEST_F(PickerTest, NoReturnsFalseAndTheToolbarKeepsItsStoredRegion)
{
    const RECT stored{5, 6, 700, 500};
    g_systemSetting.captureRect = stored;
    g_systemSetting.dirty = false;
    CToolbarDlg toolbar;
    ASSERT_TRUE(toolbar.CreateToolbar(nullptr, nullptr, FALSE));
    const CMonitorDlg& picker = toolbar.monitorDlg;
    TimerScript script({OverlayShown(picker), Drag(picker, POINT{20, 20}, POINT{60, 60}), Asked(), Answer(IDNO)});
    toolbar.OnBnClickedSetting();
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(SameRect(g_systemSetting.captureRect, stored));
    EXPECT_FALSE(g_systemSetting.dirty);

    TimerScript again({OverlayShown(picker), Drag(picker, POINT{20, 30}, POINT{60, 70}), Asked(), Answer(IDYES)});
    toolbar.OnBnClickedSetting();
    EXPECT_TRUE(SameRect(g_systemSetting.captureRect, Offset(RECT{20, 30, 60, 70}, work)));
    EXPECT_TRUE(g_systemSetting.dirty);
    g_systemSetting.captureRect = RECT{};
    g_systemSetting.dirty = false;
}

TEST_F(PickerTest, TheOverlayIsTintedOutsideTheSelectionAndUntouchedInsideIt)
{
    CMonitorDlg picker;
    capturetest::Pixels whileAsked;
    capturetest::Pixels beforeDrag;
    TimerScript script({OverlayShown(picker),
                        Check([&] { beforeDrag = capturetest::ReadPixels(picker.GetSafeHwnd()); }),
                        Drag(picker, POINT{100, 80}, POINT{300, 200}), Asked(),
                        Check([&] { whileAsked = capturetest::ReadPixels(picker.GetSafeHwnd()); }), Answer(IDNO)});
    RECT out{};
    EXPECT_FALSE(picker.SelectCaptureRegion(&out));
    ASSERT_TRUE(picker.snapshot);
    ASSERT_EQ(whileAsked.width, work.right - work.left);
    ASSERT_EQ(beforeDrag.width, work.right - work.left);
    const struct {
        int x;
        int y;
        bool inside;
    } points[] = {{100, 80, true},   {299, 199, true}, {200, 150, true},  {99, 80, false},
                  {300, 150, false}, {200, 79, false}, {200, 200, false}, {5, 5, false}};
    for (const auto& point : points) {
        const uint32_t photo =
            SnapshotPixel(*picker.snapshot, work.left - picker.originX + point.x, work.top - picker.originY + point.y);
        EXPECT_TRUE(NearColor(beforeDrag.At(point.x, point.y), Tinted(photo))) << point.x << "," << point.y;
        EXPECT_TRUE(NearColor(whileAsked.At(point.x, point.y), point.inside ? photo : Tinted(photo)))
            << point.x << "," << point.y;
    }
}

TEST_F(PickerTest, WhileTheButtonIsHeldTheOverlayShowsTheOutlineOnTheSelectionsOwnEdge)
{
    CMonitorDlg picker;
    capturetest::Pixels held;
    TimerScript script({OverlayShown(picker),
                        [&picker] {
                            PostMessageW(picker.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 80));
                            PostMessageW(picker.GetSafeHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 200));
                            return true;
                        },
                        Check([&] { held = capturetest::ReadPixels(picker.GetSafeHwnd()); }),
                        [&picker] {
                            PostMessageW(picker.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
                            return true;
                        },
                        Asked(), Answer(IDNO)});
    RECT out{};
    EXPECT_FALSE(picker.SelectCaptureRegion(&out));
    ASSERT_TRUE(picker.snapshot);
    ASSERT_EQ(held.width, work.right - work.left);
    // The outline runs on the selection's first and last rows and columns;
    // everything else, inside too, stays tinted until the release.
    const struct {
        int x;
        int y;
        bool outline;
    } points[] = {{100, 80, true},   {299, 80, true},   {100, 199, true}, {299, 199, true}, {200, 80, true},
                  {100, 140, true},  {99, 80, false},   {100, 79, false}, {99, 79, false},  {300, 199, false},
                  {299, 200, false}, {300, 200, false}, {101, 81, false}, {200, 140, false}};
    for (const auto& point : points) {
        const uint32_t photo =
            SnapshotPixel(*picker.snapshot, work.left - picker.originX + point.x, work.top - picker.originY + point.y);
        EXPECT_TRUE(NearColor(held.At(point.x, point.y), point.outline ? 0xFFFFFF : Tinted(photo)))
            << point.x << "," << point.y;
    }
}

TEST_F(PickerTest, WithoutAPhotographTheDragAndTheQuestionStillWork)
{
    const FaultCounter counter;
    BlindPicker picker;
    bool painted = false;
    TimerScript script({OverlayShown(picker),
                        [&picker] {
                            // Moves with the button held paint the drag's outline.
                            PostMessageW(picker.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
                            PostMessageW(picker.GetSafeHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 40));
                            return true;
                        },
                        [&picker, &painted] {
                            UpdateWindow(picker.GetSafeHwnd());
                            painted = picker.dragging;
                            PostMessageW(picker.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(90, 70));
                            return true;
                        },
                        Asked(), Answer(IDYES)});
    RECT out{};
    EXPECT_TRUE(picker.SelectCaptureRegion(&out));
    EXPECT_FALSE(picker.snapshot);
    EXPECT_FALSE(picker.overlay);
    EXPECT_TRUE(painted);
    EXPECT_EQ(FaultCounter::faults, 0);
    EXPECT_TRUE(SameRect(out, Offset(RECT{30, 30, 90, 70}, work)));
}

TEST_F(PickerTest, WhileThePickerRunsTheToolbarIgnoresItsButtonsAndTheRegionCommand)
{
    g_systemSetting.captureRect = RECT{};
    g_systemSetting.dirty = false;
    CToolbarDlg toolbar;
    const HWND receiver = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(toolbar.CreateToolbar(receiver, nullptr, TRUE));
    const CMonitorDlg& picker = toolbar.monitorDlg;
    int overlaysSeen = 0;
    TimerScript script({OverlayShown(picker),
                        [&] {
                            for (const UINT id : {IDC_BTN_SETTING, ID_CAPTURE_REGION_SETTING, IDC_BTN_CAPTURE}) {
                                PostMessageW(toolbar.GetSafeHwnd(), WM_COMMAND, id, 0);
                            }
                            return true;
                        },
                        Check([&] { overlaysSeen = CountOverlays(PrimaryWorkArea()); }),
                        Drag(picker, POINT{20, 20}, POINT{60, 60}), Asked(), Answer(IDNO)});
    SendMessageW(toolbar.GetSafeHwnd(), WM_COMMAND, ID_CAPTURE_REGION_SETTING, 0);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(overlaysSeen, 1);
    EXPECT_FALSE(toolbar.monitorDlg.Running());
    MSG request;
    EXPECT_FALSE(PeekMessageW(&request, receiver, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_TRUE(IsRectEmpty(&g_systemSetting.captureRect));
    EXPECT_FALSE(g_systemSetting.dirty);
    DestroyWindow(receiver);
}

// The chooser over a made-up list of three monitors.
class ChooserTest : public testing::Test {
protected:
    const std::vector<SMonitorEntry> monitors = {
        {nullptr, RECT{-1024, 0, 0, 768}}, {nullptr, RECT{0, 0, 1920, 1080}}, {nullptr, RECT{1920, 0, 3200, 1024}}};
};

TEST_F(ChooserTest, ListsTheMonitorsFromLeftToRightWithTheFirstRowSelected)
{
    CSelectDisplayDlg chooser(&monitors);
    std::vector<std::wstring> rows;
    int selectedCount = 0;
    bool firstSelected = false;
    int images = 0;
    TimerScript script({[&] { return chooser.GetSafeHwnd() != nullptr && IsWindowVisible(chooser.GetSafeHwnd()); },
                        [&] {
                            for (int row = 0; row < chooser.list.GetItemCount(); ++row) {
                                rows.push_back(chooser.list.GetItemText(row, 0));
                            }
                            selectedCount =
                                static_cast<int>(SendMessageW(chooser.list.GetSafeHwnd(), LVM_GETSELECTEDCOUNT, 0, 0));
                            firstSelected = chooser.list.GetItemState(0, LVIS_SELECTED) != 0;
                            images = chooser.imageList.GetImageCount();
                            PostMessageW(chooser.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
                            return true;
                        }});
    EXPECT_EQ(chooser.DoModal(), IDOK);
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"Monitor 0", L"Monitor 1", L"Monitor 2"}));
    EXPECT_EQ(selectedCount, 1);
    EXPECT_TRUE(firstSelected);
    EXPECT_EQ(images, 1);
    EXPECT_EQ(chooser.result, 0);
}

TEST_F(ChooserTest, NextTakesTheMarkedRowAndCancelOrTheCloseBoxGiveNone)
{
    const struct {
        int markRow;
        UINT message;
        WPARAM command;
        INT_PTR ended;
        int result;
    } cases[] = {
        {2, WM_COMMAND, IDOK, IDOK, 2},
        {1, WM_COMMAND, IDCANCEL, IDCANCEL, -1},
        {1, WM_SYSCOMMAND, SC_CLOSE, IDCANCEL, -1},
    };
    for (const auto& test : cases) {
        CSelectDisplayDlg chooser(&monitors);
        TimerScript script({[&] { return chooser.GetSafeHwnd() != nullptr && IsWindowVisible(chooser.GetSafeHwnd()); },
                            [&] {
                                chooser.list.SetItemState(test.markRow, LVIS_SELECTED | LVIS_FOCUSED,
                                                          LVIS_SELECTED | LVIS_FOCUSED);
                                chooser.list.SetSelectionMark(test.markRow);
                                PostMessageW(chooser.GetSafeHwnd(), test.message, test.command, 0);
                                return true;
                            }});
        EXPECT_EQ(chooser.DoModal(), test.ended);
        EXPECT_EQ(chooser.result, test.result);
    }
}

TEST(ChooserWithoutAList, HasNoRows)
{
    CSelectDisplayDlg chooser(nullptr);
    int rows = -1;
    TimerScript script({[&] { return chooser.GetSafeHwnd() != nullptr && IsWindowVisible(chooser.GetSafeHwnd()); },
                        [&] {
                            rows = chooser.list.GetItemCount();
                            EXPECT_FALSE(chooser.FillMonitorList());
                            PostMessageW(chooser.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
                            return true;
                        }});
    EXPECT_EQ(chooser.DoModal(), IDOK);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(chooser.result, -1);
}

// The monitor arithmetic over made-up monitor lists.
HMONITOR Handle(int n)
{
    return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(n));
}

TEST(MonitorArithmetic, MonitorsSortByTheirHorizontalCentreKeepingTheSystemsOrderForEqualCentres)
{
    const struct {
        std::vector<SMonitorEntry> listed;
        std::vector<int> order;
    } cases[] = {
        {{{Handle(1), {0, 0, 1920, 1080}}, {Handle(2), {-1024, 0, 0, 768}}, {Handle(3), {1920, 0, 3200, 1024}}},
         {2, 1, 3}},
        // A tall monitor whose left edge lies further left but whose centre does not.
        {{{Handle(1), {0, 0, 400, 300}}, {Handle(2), {-100, 0, 700, 600}}}, {1, 2}},
        {{{Handle(1), {0, 0, 100, 100}}, {Handle(2), {0, 100, 100, 200}}, {Handle(3), {-50, 0, 150, 90}}}, {1, 2, 3}},
        // Centres -1.5 and -1 both truncate toward zero to -1: equal.
        {{{Handle(1), {-2, 0, 0, 10}}, {Handle(2), {-3, 0, 0, 10}}}, {1, 2}},
        {{{Handle(1), {-3, 0, 0, 10}}, {Handle(2), {-2, 0, 0, 10}}}, {1, 2}},
        {{{Handle(1), {0x7FFFFF00, 0, 0x7FFFFFFF, 10}}, {Handle(2), {0, 0, 10, 10}}}, {2, 1}},
        {{}, {}},
    };
    for (const auto& test : cases) {
        std::vector<SMonitorEntry> sorted = test.listed;
        SortMonitors(sorted);
        std::vector<int> order;
        for (const SMonitorEntry& entry : sorted) {
            order.push_back(static_cast<int>(reinterpret_cast<INT_PTR>(entry.monitor)));
        }
        EXPECT_EQ(order, test.order);
    }
}

TEST(MonitorArithmetic, TheOriginIsTheSmallestLeftAndTheSmallestTop)
{
    const struct {
        std::vector<SMonitorEntry> monitors;
        POINT origin;
    } cases[] = {
        {{}, {0, 0}},
        {{{nullptr, {0, 0, 1920, 1080}}}, {0, 0}},
        {{{nullptr, {0, 0, 1920, 1080}}, {nullptr, {-1024, 200, 0, 968}}}, {-1024, 0}},
        {{{nullptr, {0, 0, 1920, 1080}}, {nullptr, {1920, -300, 3200, 724}}}, {0, -300}},
        {{{nullptr, {100, 50, 500, 350}}}, {100, 50}},
    };
    for (const auto& test : cases) {
        const POINT origin = MonitorOrigin(test.monitors);
        EXPECT_EQ(origin.x, test.origin.x);
        EXPECT_EQ(origin.y, test.origin.y);
    }
}

} // namespace
