// The real Quillmere.exe on the run command's demo road: the fake analysis
// server in its demo scenario answers the demo's sample picture, on a display
// of the test's own. On a display like the run command's, with its window
// manager, the capture toolbar shows over the full-screen main window at
// start and after a dialog closes, the settings dialog opens centred on the
// main window, and a minimised window comes back maximised on a second
// start. With and without a window manager, a second start while a dialog is
// open brings that dialog forward with the keyboard and opens its picture
// behind it. Leaves screenshots in the build folder.
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "analysis/AnalysisServer.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

namespace {

constexpr wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";
constexpr wchar_t kSettingsCaption[] = L"設定";
constexpr wchar_t kEditorCaption[] = L"病例模板編輯";
constexpr UINT kChartId = 0xFFFF;
constexpr DWORD kBoundMs = 30000;
// How long the window manager may take to answer a window it maps.
constexpr DWORD kWindowManagerMs = 2000;
constexpr uint32_t NUMBER_RED = 0xFF0000;
// The demo's findings put a red number on ten teeth: a few dozen pixels each.
constexpr int kRedOfTheDemosNumbers = 200;

// The sample picture the build draws as the run command does, on Z:.
std::wstring DemoSample()
{
    const std::string unixPath = QUILL_DEMO_SAMPLE;
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring TitleOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

HWND FindToolbar()
{
    HWND button = testutil::FindCaptureButton();
    return button != nullptr ? GetAncestor(button, GA_ROOT) : nullptr;
}

// The share of `window`'s area where the screen shows the face colour of
// dialogs and buttons: near 1 for the toolbar or a dialog on top, near 0 where
// the main window's picture covers it.
double FaceShareOnScreen(HWND window)
{
    RECT area{};
    GetWindowRect(window, &area);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const LONG stepX = std::max<LONG>(2, (area.right - area.left) / 40);
    const LONG stepY = std::max<LONG>(2, (area.bottom - area.top) / 40);
    HDC screen = GetDC(nullptr);
    int seen = 0;
    int all = 0;
    for (LONG y = area.top + 2; y < area.bottom - 2; y += stepY) {
        for (LONG x = area.left + 2; x < area.right - 2; x += stepX) {
            seen += GetPixel(screen, x, y) == face ? 1 : 0;
            ++all;
        }
    }
    ReleaseDC(nullptr, screen);
    return all > 0 ? static_cast<double>(seen) / all : 0.0;
}

// The red of the tooth numbers where the screen shows the chart.
int RedOfNumbersOnScreen(HWND window)
{
    RECT chart{};
    GetWindowRect(GetDlgItem(window, kChartId), &chart);
    return testutil::ReadScreen().Count(chart, NUMBER_RED);
}

POINT Centre(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool CentredOn(HWND window, HWND owner)
{
    RECT placed{};
    RECT around{};
    GetWindowRect(window, &placed);
    GetWindowRect(owner, &around);
    return std::abs(Centre(placed).x - Centre(around).x) <= 2 && std::abs(Centre(placed).y - Centre(around).y) <= 2;
}

void PressKey(WORD key)
{
    INPUT input[2]{};
    for (INPUT& stroke : input) {
        stroke.type = INPUT_KEYBOARD;
        stroke.ki.wVk = key;
    }
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

class DemoRoad : public testing::Test {
protected:
    void SetUp() override
    {
        FakeScenario demo;
        ASSERT_TRUE(ParseScenario("demo\n", &demo));
        server.SetScenario(demo);
        ASSERT_TRUE(server.Start(ANALYSIS_SERVER_PORT));
        SetCursorPos(0, 0);
        SetCurrentDirectoryW(testutil::ProgramFolder().c_str());
        ASSERT_TRUE(g_systemSetting.Load());
        g_systemSetting.captureBar = true;
        g_systemSetting.dirty = true;
        ASSERT_TRUE(g_systemSetting.Save());
    }

    // The running window once it shows `picture`, after `requests` requests;
    // null when that does not happen in time.
    HWND WaitForPicture(const std::wstring& picture, size_t requests)
    {
        HWND window = nullptr;
        const bool shown = testutil::PumpUntil(
            [&] {
                window = FindWindowW(kMainClass, nullptr);
                return window != nullptr && TitleOf(window) == L"Quillmere - " + picture &&
                       server.Requests().size() == requests;
            },
            kBoundMs);
        EXPECT_EQ(server.Requests().size(), requests);
        return shown ? window : nullptr;
    }

    // Starts the program on the demo's sample as the run command does; its
    // window once it shows the sample with the boxes of the demo's answer.
    HWND StartTheDemo()
    {
        running = std::make_unique<testutil::ProgramProcess>(L"/file \"" + DemoSample() + L"\"");
        HWND window = WaitForPicture(DemoSample(), 1);
        EXPECT_TRUE(window != nullptr &&
                    testutil::PumpUntil([&] { return RedOfNumbersOnScreen(window) > kRedOfTheDemosNumbers; }, kBoundMs))
            << "no boxes in sight";
        return window;
    }

    // Closes the window and expects the program to end without a failure.
    void CloseTheDemo(HWND window)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(running->WaitForEnd(kBoundMs));
        EXPECT_EQ(running->ExitCode(), 0u);
    }

    FakeAnalysisServer server{false};
    std::unique_ptr<testutil::ProgramProcess> running;
    testutil::ScratchFolder folder;
};

TEST_F(DemoRoad, TheToolbarStaysOverTheMainWindowAndTheSettingsDialogOpensCentred)
{
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    HWND toolbar = nullptr;
    ASSERT_TRUE(
        testutil::PumpUntil([&] { return (toolbar = FindToolbar()) != nullptr && IsZoomed(window); }, kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil([&] { return FaceShareOnScreen(toolbar) > 0.5; }, kBoundMs))
        << "at start: " << FaceShareOnScreen(toolbar);

    PostMessageW(GetDlgItem(window, kChartId), WM_COMMAND, ID_USER_SETTINGS, 0);
    HWND settings = running->WaitForWindow(kSettingsCaption, kBoundMs);
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(
        testutil::PumpUntil([&] { return IsWindowVisible(settings) && CentredOn(settings, window); }, kBoundMs));
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\settings-dialog-centred.png"));

    PostMessageW(settings, WM_CLOSE, 0, 0);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsWindow(settings) == FALSE; }, kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil(
        [&] { return FaceShareOnScreen(toolbar) > 0.5 && RedOfNumbersOnScreen(window) > kRedOfTheDemosNumbers; },
        kBoundMs))
        << "after the dialog: " << FaceShareOnScreen(toolbar);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\demo-toolbar-on-top.png"));
    CloseTheDemo(window);
}

TEST_F(DemoRoad, AMinimisedWindowComesBackMaximisedOnASecondStart)
{
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsZoomed(window) != FALSE; }, kBoundMs));
    RECT before{};
    GetClientRect(window, &before);
    // As large as before at least: the window manager may have framed the
    // first showing.
    RECT client{};
    const auto maximised = [&] {
        GetClientRect(window, &client);
        return IsZoomed(window) && !IsIconic(window) && client.right >= before.right && client.bottom >= before.bottom;
    };

    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsIconic(window) != FALSE; }, kBoundMs));
    testutil::ProgramProcess later(L"");
    ASSERT_TRUE(later.WaitForEnd(kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil(maximised, kBoundMs));
    // The window manager has its last word on the window it maps again a
    // moment later: the window stays maximised through it.
    EXPECT_FALSE(testutil::PumpUntil([&] { return !maximised(); }, kWindowManagerMs))
        << "zoomed " << IsZoomed(window) << ", client " << client.right << "x" << client.bottom;
    CloseTheDemo(window);
}

struct DialogCase {
    const char* what;
    UINT command;
    const wchar_t* caption;
    // The least share of the dialog's area in the face colour while it is on
    // top: its edit controls are white.
    double faceShare;
};

void PrintTo(const DialogCase& c, std::ostream* out)
{
    *out << c.what;
}

class SecondStartBehindADialog : public DemoRoad, public testing::WithParamInterface<DialogCase> {};

TEST_P(SecondStartBehindADialog, BringsTheDialogForwardWithTheKeyboardAndOpensThePictureBehindIt)
{
    const DialogCase& c = GetParam();
    const std::wstring sample = DemoSample();
    const std::wstring other = folder.File(L"other pano.jpg");
    ASSERT_TRUE(CopyFileW(sample.c_str(), other.c_str(), FALSE));
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    PostMessageW(GetDlgItem(window, kChartId), WM_COMMAND, c.command, 0);
    HWND dialog = running->WaitForWindow(c.caption, kBoundMs);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(
        testutil::PumpUntil([&] { return IsWindowVisible(dialog) && GetForegroundWindow() == dialog; }, kBoundMs));

    testutil::ProgramProcess later(L"/file \"" + other + L"\"");
    ASSERT_TRUE(later.WaitForEnd(kBoundMs));
    EXPECT_NE(WaitForPicture(other, 2), nullptr);
    EXPECT_TRUE(testutil::PumpUntil(
        [&] { return GetForegroundWindow() == dialog && FaceShareOnScreen(dialog) > c.faceShare; }, kBoundMs))
        << "foreground " << (GetForegroundWindow() == dialog ? "the dialog" : "another window") << ", face share "
        << FaceShareOnScreen(dialog);

    // What the user types goes to the dialog: Esc closes it, and only it.
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindow(dialog) == FALSE; }, kBoundMs));
    testutil::ProgramProcess third(L"/file \"" + sample + L"\"");
    ASSERT_TRUE(third.WaitForEnd(kBoundMs));
    EXPECT_NE(WaitForPicture(sample, 3), nullptr);
    CloseTheDemo(window);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, SecondStartBehindADialog,
                         testing::Values(DialogCase{"settings", ID_USER_SETTINGS, kSettingsCaption, 0.5},
                                         DialogCase{"template editor", ID_EDIT_RECORD_TEMPLATE, kEditorCaption, 0.2}));

} // namespace
