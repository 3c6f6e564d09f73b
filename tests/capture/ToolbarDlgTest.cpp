// The capture toolbar under Wine: its two modes, the press that clicks and
// the press that drags, the capture request and its default region, Enter
// and Esc, the focus it never takes, and "檢視結果" through the shell seam.
#include "capture/ToolbarDlg.h"

#include "CaptureTestUtil.h"
#include "WinTestUtil.h"
#include "chart/ToothStaticListener.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using capturetest::MouseDown;
using capturetest::MouseTo;
using capturetest::MouseUp;
using testutil::PumpUntil;
using testutil::PumpUntilQueueEmpty;

constexpr wchar_t RECEIVER_CLASS[] = L"QuillToolbarTestReceiver";

// The chart's stand-in: counts the capture requests posted to it.
int captureRequests = 0;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CAPTURE_SCREEN) {
        ++captureRequests;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A plain window that has the focus, as the program the dentist works in.
HWND MakeWindow(const RECT& rect, DWORD style)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ReceiverProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = RECEIVER_CLASS;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, RECEIVER_CLASS, L"receiver", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

POINT CenterOf(HWND window)
{
    const RECT rect = WindowRect(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

BOOL CALLBACK KeepLeftmost(HMONITOR, HDC, LPRECT rect, LPARAM found)
{
    auto* best = reinterpret_cast<RECT*>(found);
    if (IsRectEmpty(best) || rect->left + rect->right < best->left + best->right) {
        *best = *rect;
    }
    return TRUE;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

class ToolbarTest : public testing::Test {
protected:
    void SetUp() override
    {
        captureRequests = 0;
        receiver = MakeWindow(RECT{0, 0, 10, 10}, WS_POPUP);
        savedSetting = g_systemSetting.captureRect;
        g_systemSetting.captureRect = RECT{};
        g_systemSetting.dirty = false;
    }

    void TearDown() override
    {
        DeleteTempFiles();
        g_systemSetting.captureRect = savedSetting;
        g_systemSetting.dirty = false;
        DestroyWindow(receiver);
    }

    // The toolbar shown without activation at (x, y).
    void Show(CToolbarDlg& toolbar, BOOL fullMode, int x = 300, int y = 200)
    {
        ASSERT_TRUE(toolbar.CreateToolbar(receiver, nullptr, fullMode));
        SetWindowPos(toolbar.GetSafeHwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(toolbar.GetSafeHwnd(), SW_SHOWNA);
        UpdateWindow(toolbar.GetSafeHwnd());
        ASSERT_TRUE(PumpUntilQueueEmpty());
    }

    void Click(CToolbarDlg& toolbar, int id)
    {
        const HWND button = toolbar.GetDlgItem(id);
        SendMessageW(toolbar.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }

    // A press at `start`, a move by `offset` in steps of a hand's speed, and
    // a release, pumped through the modal loop's pre-translation. Each input
    // is handled before the next is given, as a hand gives them.
    void PressMoveRelease(POINT start, POINT offset)
    {
        MouseTo(start);
        ASSERT_TRUE(PumpUntilQueueEmpty());
        MouseDown();
        ASSERT_TRUE(PumpUntilQueueEmpty());
        const int steps = std::max({1L, std::labs(offset.x) / 2, std::labs(offset.y) / 2});
        for (int step = 1; step <= steps; ++step) {
            MouseTo(POINT{start.x + offset.x * step / steps, start.y + offset.y * step / steps});
            ASSERT_TRUE(PumpUntilQueueEmpty());
        }
        MouseUp();
        ASSERT_TRUE(PumpUntilQueueEmpty());
    }

    HWND receiver = nullptr;
    RECT savedSetting{};
};

TEST_F(ToolbarTest, TheShortModeShowsTwoButtonsAndIsOneButtonShorter)
{
    CToolbarDlg shortBar;
    CToolbarDlg fullBar;
    Show(shortBar, FALSE);
    Show(fullBar, TRUE, 300, 400);

    const struct {
        int id;
        bool inShort;
    } buttons[] = {
        {IDC_BTN_CAPTURE, true}, {IDC_BTN_SETTING, true}, {IDC_BTN_CLOSE, false}, {IDC_BTN_VIEW_RESULT, false}};
    for (const auto& button : buttons) {
        EXPECT_EQ(IsWindowVisible(shortBar.GetDlgItem(button.id)) != FALSE, button.inShort) << button.id;
        EXPECT_TRUE(IsWindowVisible(fullBar.GetDlgItem(button.id))) << button.id;
    }
    const RECT shortRect = WindowRect(shortBar.GetSafeHwnd());
    const RECT fullRect = WindowRect(fullBar.GetSafeHwnd());
    const RECT button = WindowRect(fullBar.GetDlgItem(IDC_BTN_VIEW_RESULT));
    EXPECT_EQ(shortRect.right - shortRect.left, fullRect.right - fullRect.left);
    EXPECT_EQ(shortRect.bottom - shortRect.top, fullRect.bottom - fullRect.top - (button.bottom - button.top));
    EXPECT_EQ(shortRect.left, 300);
    EXPECT_EQ(shortRect.top, 200);
}

TEST_F(ToolbarTest, APressThatMovesNinePixelsClicksAndTenPixelsDragsTheToolbar)
{
    g_systemSetting.captureRect = RECT{10, 20, 110, 120};
    const struct {
        POINT offset;
        bool clicks;
    } cases[] = {
        {{5, 4}, true},    // 9 pixels
        {{0, -9}, true},   // 9 pixels
        {{6, 4}, false},   // 10 pixels
        {{-10, 0}, false}, // 10 pixels
        {{40, 25}, false},
    };
    for (const auto& press : cases) {
        CToolbarDlg toolbar;
        Show(toolbar, FALSE);
        captureRequests = 0;
        const RECT before = WindowRect(toolbar.GetSafeHwnd());
        PressMoveRelease(CenterOf(toolbar.GetDlgItem(IDC_BTN_CAPTURE)), press.offset);
        const RECT after = WindowRect(toolbar.GetSafeHwnd());
        if (press.clicks) {
            EXPECT_EQ(captureRequests, 1) << press.offset.x << "," << press.offset.y;
            EXPECT_TRUE(SameRect(before, after));
        } else {
            EXPECT_EQ(captureRequests, 0) << press.offset.x << "," << press.offset.y;
            EXPECT_EQ(after.left - before.left, press.offset.x);
            EXPECT_EQ(after.top - before.top, press.offset.y);
        }
    }
}

TEST_F(ToolbarTest, WithoutARegionTheCaptureButtonStoresTheLeftmostMonitorAndMarksTheSettingsChanged)
{
    RECT leftmost{};
    EnumDisplayMonitors(nullptr, nullptr, KeepLeftmost, reinterpret_cast<LPARAM>(&leftmost));
    ASSERT_FALSE(IsRectEmpty(&leftmost));

    const struct {
        RECT stored;
        bool replaced;
    } cases[] = {
        {{0, 0, 0, 0}, true},      {{100, 10, 100, 50}, true}, // right not beyond left
        {{100, 10, 40, 50}, true}, {{10, 60, 90, 60}, true},   // bottom not beyond top
        {{10, 60, 90, 20}, true},  {{10, 20, 30, 40}, false},  {{-500, -20, -100, 40}, false},
    };
    CToolbarDlg toolbar;
    Show(toolbar, FALSE);
    for (const auto& test : cases) {
        g_systemSetting.captureRect = test.stored;
        g_systemSetting.dirty = false;
        captureRequests = 0;
        Click(toolbar, IDC_BTN_CAPTURE);
        EXPECT_EQ(captureRequests, 0) << "the request is posted, not sent";
        PumpUntil([] { return captureRequests > 0; }, 2000);
        EXPECT_EQ(captureRequests, 1);
        EXPECT_TRUE(SameRect(g_systemSetting.captureRect, test.replaced ? leftmost : test.stored));
        EXPECT_EQ(g_systemSetting.dirty, test.replaced);
    }
}

TEST_F(ToolbarTest, EnterAndEscLeaveTheToolbarAsItIs)
{
    CToolbarDlg toolbar;
    Show(toolbar, TRUE);
    const HWND window = toolbar.GetSafeHwnd();
    const RECT before = WindowRect(window);
    for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageW(toolbar.GetDlgItem(IDC_BTN_SETTING), WM_KEYDOWN, key, 0);
        PostMessageW(window, WM_KEYDOWN, key, 0);
        ASSERT_TRUE(PumpUntilQueueEmpty());
        SendMessageW(window, WM_COMMAND, key == VK_RETURN ? IDOK : IDCANCEL, 0);
        ASSERT_TRUE(PumpUntilQueueEmpty());
        ASSERT_EQ(toolbar.GetSafeHwnd(), window);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(SameRect(WindowRect(window), before));
    }
    EXPECT_EQ(captureRequests, 0);
}

TEST_F(ToolbarTest, AClickAndADragNeverTakeTheFocusFromTheWindowTheUserWorksIn)
{
    g_systemSetting.captureRect = RECT{10, 20, 110, 120};
    const HWND work = MakeWindow(RECT{700, 100, 1100, 400}, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(work, nullptr);
    SetForegroundWindow(work);
    SetFocus(work);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == work; }, 10000));
    ASSERT_TRUE(PumpUntilQueueEmpty());

    CToolbarDlg toolbar;
    Show(toolbar, TRUE);
    EXPECT_EQ(GetForegroundWindow(), work);
    PressMoveRelease(CenterOf(toolbar.GetDlgItem(IDC_BTN_CAPTURE)), POINT{2, 1});
    EXPECT_EQ(captureRequests, 1);
    EXPECT_EQ(GetForegroundWindow(), work);
    EXPECT_EQ(GetFocus(), work);
    const RECT before = WindowRect(toolbar.GetSafeHwnd());
    PressMoveRelease(CenterOf(toolbar.GetDlgItem(IDC_BTN_VIEW_RESULT)), POINT{-40, 30});
    EXPECT_NE(WindowRect(toolbar.GetSafeHwnd()).left, before.left);
    EXPECT_EQ(GetForegroundWindow(), work);
    EXPECT_EQ(GetFocus(), work);
    EXPECT_EQ(GetActiveWindow(), work);
    DestroyWindow(work);
}

TEST_F(ToolbarTest, ViewResultDoesNothingBeforeACaptureAndThenOpensTheImageAndTheFindingsTextFile)
{
    testutil::ShellRecorder shell;
    CToolbarDlg toolbar;
    Show(toolbar, TRUE);
    Click(toolbar, IDC_BTN_VIEW_RESULT);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_TRUE(g_tempFiles.empty());

    toolbar.capturedImagePath = L"C:\\captures\\pano.jpg";
    toolbar.findingsText = L"11 齲齒\r\n46 根尖病灶\r\n";
    Click(toolbar, IDC_BTN_VIEW_RESULT);
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(shell.opened[0], L"C:\\captures\\pano.jpg");
    const std::wstring& textFile = shell.opened[1];
    EXPECT_EQ(textFile.substr(textFile.size() - 4), L".txt");
    ASSERT_EQ(g_tempFiles.size(), 1u);
    EXPECT_EQ(g_tempFiles[0], textFile);
    EXPECT_EQ(testutil::ReadBytes(textFile),
              "11 \xE9\xBD\xB2\xE9\xBD\x92\r\n46 \xE6\xA0\xB9\xE5\xB0\x96\xE7\x97\x85\xE7\x81\xB6\r\n");
}

TEST_F(ToolbarTest, ViewResultWritesTheFindingsTextIntoATemporaryFolderThatNoAnsiCodePageSpells)
{
    testutil::ShellRecorder shell;
    testutil::ScratchFolder scratch;
    // A user name of mixed scripts and an emoji: no code page holds them all.
    const std::wstring temp = scratch.File(L"王小明 Ωμέγα \U0001F9B7");
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    CToolbarDlg toolbar;
    Show(toolbar, TRUE);
    toolbar.capturedImagePath = temp + L"\\pano.jpg";
    toolbar.findingsText = L"牙位 11\r\n";
    {
        const testutil::TempFolderOverride redirected(temp);
        Click(toolbar, IDC_BTN_VIEW_RESULT);
    }
    ASSERT_EQ(shell.opened.size(), 2u);
    const std::wstring& textFile = shell.opened[1];
    EXPECT_EQ(textFile.rfind(temp + L"\\", 0), 0u);
    EXPECT_EQ(testutil::ReadBytes(textFile), "\xE7\x89\x99\xE4\xBD\x8D 11\r\n");
    ASSERT_EQ(g_tempFiles.size(), 1u);
    EXPECT_EQ(g_tempFiles[0], textFile);
}

} // namespace
