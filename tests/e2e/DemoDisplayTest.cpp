// The real Quillmere.exe on the run command's demo road: the fake analysis
// server in its demo scenario answers the demo's sample picture, on a display
// of the test's own. On a display like the run command's, with its window
// manager, the capture toolbar shows over the full-screen main window at
// start and after a dialog closes, the settings dialog opens centred on the
// main window, and a tooth's hover ends when the pointer leaves it for the
// toolbar. With and without a window manager, on either screen size,
// the window covers the work area with its chart and filter boxes inside its
// client area, also after each way back from a minimise; a capture's result
// comes to the front over the program captured from; and a second start
// while a dialog is open brings that dialog forward with the keyboard and
// opens its picture behind it. Leaves screenshots in the build folder.
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "analysis/AnalysisServer.h"
#include "app/AppIds.h"
#include "chart/ToothStaticListener.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"
#include "ui/Gdiplus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";
constexpr wchar_t kSettingsCaption[] = L"設定";
constexpr wchar_t kEditorCaption[] = L"病例模板編輯";
constexpr wchar_t kSystemTestCaption[] = L"系統測試";
constexpr wchar_t kAboutCaption[] = L"About Quillmere";
constexpr wchar_t kOpenCaption[] = L"Open";
constexpr wchar_t kMessageBoxCaption[] = L"Vuzizudo";
constexpr UINT kChartId = 0xFFFF;
constexpr DWORD kBoundMs = 30000;
// How long the window manager may take to answer a window it maps.
constexpr DWORD kWindowManagerMs = 2000;
constexpr uint32_t NUMBER_RED = 0xFF0000;
constexpr uint32_t HOVER_GREEN = 0x00FF00;
// The demo's findings put a red number on ten teeth: a few dozen pixels each.
constexpr int kRedOfTheDemosNumbers = 200;
// The most a title bar takes of the work area's top over a maximised window.
constexpr LONG kTitleBarAtMost = 48;
// The colour of the program a capture is taken from.
constexpr COLORREF kViewerColour = RGB(0xC0, 0x20, 0xC0);

bool WindowManagerRuns()
{
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"QUILL_WINDOW_MANAGER", value, 8) > 0 && std::wstring(value) == L"1";
}

// The display's size and whether a window manager runs, for the names of
// the screenshots: the tests of each display run at the same time.
std::wstring DisplayTag()
{
    return std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" + std::to_wstring(GetSystemMetrics(SM_CYSCREEN)) +
           (WindowManagerRuns() ? L"-openbox" : L"-bare");
}

// Asks the window manager, as a taskbar or a pager would, through the X
// window Wine made for `window`.
void AskTheWindowManager(const std::wstring& command, HWND window)
{
    const auto xWindow = reinterpret_cast<ULONG_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
    testutil::StartUnixCommand(L"xdotool " + command + L" " + std::to_wstring(xWindow));
}

ULONG_PTR XIdOf(HWND window)
{
    return reinterpret_cast<ULONG_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
}

std::wstring UnixPathOf(const std::wstring& zPath)
{
    std::wstring path = zPath.substr(2);
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

// Runs one of the test's shell scripts with `arguments` and its state file,
// which it writes once done; the file's text, or empty when none came in time.
std::string RunScript(const char* script, const std::wstring& arguments)
{
    const std::wstring state = testutil::ProgramFolder() + L"\\" + std::wstring(script, script + std::strlen(script)) +
                               L"-" + DisplayTag() + L".state";
    DeleteFileW(state.c_str());
    const std::string folder = QUILL_E2E_SCRIPTS;
    testutil::StartUnixCommand(L"bash '" + std::wstring(folder.begin(), folder.end()) + L"/" +
                               std::wstring(script, script + std::strlen(script)) + L"' " + arguments + L" '" +
                               UnixPathOf(state) + L"'");
    if (!testutil::PumpUntil([&] { return testutil::FileExists(state); }, kBoundMs)) {
        return {};
    }
    return testutil::ReadBytes(state);
}

// What the display says: the window with the keyboard (the window manager's
// active window, or without one the X input focus), the window on top of the
// window manager's stacking order (0 without one), and which of the windows
// asked about demand attention.
struct DisplayState {
    ULONG_PTR active = 0;
    ULONG_PTR top = 0;
    std::set<ULONG_PTR> attention;
};

std::ostream& operator<<(std::ostream& out, const DisplayState& state)
{
    out << "active " << state.active << ", on top " << state.top << ", demanding attention";
    for (const ULONG_PTR window : state.attention) {
        out << " " << window;
    }
    return out;
}

DisplayState ReadDisplayState(const std::vector<HWND>& windows)
{
    std::wstring arguments;
    for (const HWND window : windows) {
        arguments += L" " + std::to_wstring(XIdOf(window));
    }
    std::istringstream text(RunScript("display-state.sh", arguments));
    DisplayState state;
    std::string word;
    text >> word >> state.active >> word >> state.top >> word;
    for (ULONG_PTR window = 0; text >> window;) {
        state.attention.insert(window);
    }
    return state;
}

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

uint32_t ColourOf(COLORREF colour)
{
    return (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

RECT ScreenRectOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::ostream& operator<<(std::ostream& out, const RECT& rect)
{
    return out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom << ")";
}

// Empty when `window` lies as a maximised window on its screen: it covers
// the work area, its client area fills the work area below the title bar,
// and the chart and every filter box shown lie inside the client area;
// otherwise what is amiss.
std::string MisfitOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::ostringstream misfit;
    if (!IsZoomed(window) || IsIconic(window) || !Inside(work, ScreenRectOf(window)) || client.left != work.left ||
        client.right != work.right || client.bottom != work.bottom || client.top < work.top ||
        client.top >= work.top + kTitleBarAtMost) {
        misfit << "zoomed " << IsZoomed(window) << ", window " << ScreenRectOf(window) << ", client " << client
               << " on the work area " << work << "; ";
    }
    if (!Inside(ScreenRectOf(GetDlgItem(window, kChartId)), client)) {
        misfit << "chart " << ScreenRectOf(GetDlgItem(window, kChartId)) << " out of " << client << "; ";
    }
    for (int id = IDC_CHECK_OTHERS; id <= IDC_CHECK_UNKNOWN; ++id) {
        const HWND box = GetDlgItem(window, id);
        if (IsWindowVisible(box) && !Inside(ScreenRectOf(box), client)) {
            misfit << "filter box " << id << " " << ScreenRectOf(box) << " out of " << client << "; ";
        }
    }
    return misfit.str();
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

// A program in front of the main window, all of one colour, as the imaging
// program a dentist captures from.
class ViewerWindow {
public:
    ViewerWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = brush;
        windowClass.lpszClassName = L"QuillViewer";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~ViewerWindow()
    {
        DestroyWindow(window);
        // The class would keep the brush for the next viewer.
        UnregisterClassW(L"QuillViewer", GetModuleHandleW(nullptr));
        DeleteObject(brush);
    }
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    HWND Get() const { return window; }

private:
    HBRUSH brush = CreateSolidBrush(kViewerColour);
    HWND window = nullptr;
};

class DemoRoad : public testing::Test {
protected:
    void SetUp() override
    {
        FakeScenario demo;
        ASSERT_TRUE(ParseScenario("demo\n", &demo));
        server.SetScenario(demo);
        ASSERT_TRUE(server.Start(ANALYSIS_SERVER_PORT));
        SetCursorPos(0, 0);
        SetCurrentDirectoryW(testutil::ProgramWorkFolder().c_str());
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

// How the window comes back from a minimise. The window manager's own ways
// need one; without it the window is minimised by the program's own call.
struct WayBack {
    const char* what;
    bool byTheWindowManager;
    void (*bringBack)(HWND window);
};

const WayBack kWaysBack[] = {
    {"the window manager's activation, as a taskbar click", true,
     [](HWND window) { AskTheWindowManager(L"windowactivate", window); }},
    {"Alt+Tab", true,
     [](HWND) {
         const std::string script = QUILL_ALT_TAB;
         testutil::StartUnixCommand(L"bash " + std::wstring(script.begin(), script.end()));
     }},
    {"SC_RESTORE", false, [](HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0); }},
    {"a second start", false,
     [](HWND) {
         testutil::ProgramProcess later(L"");
         EXPECT_TRUE(later.WaitForEnd(kBoundMs));
     }},
};

TEST_F(DemoRoad, TheWindowFitsTheWorkAreaAtStartAndComesBackSoFromAMinimise)
{
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    std::string misfit;
    // The window manager has its last word on a window it maps a moment
    // later: the window fits, as the screen shows, and fits still after it.
    const auto fitsAndStays = [&](const char* when) {
        EXPECT_TRUE(testutil::PumpUntil(
            [&] { return (misfit = MisfitOf(window)).empty() && RedOfNumbersOnScreen(window) > kRedOfTheDemosNumbers; },
            kBoundMs))
            << when << ": " << misfit << ", " << RedOfNumbersOnScreen(window) << " red pixels of the numbers";
        EXPECT_FALSE(testutil::PumpUntil([&] { return !(misfit = MisfitOf(window)).empty(); }, kWindowManagerMs))
            << when << ", then: " << misfit;
    };
    fitsAndStays("at start");
    for (const WayBack& way : kWaysBack) {
        if (way.byTheWindowManager && !WindowManagerRuns()) {
            continue;
        }
        if (WindowManagerRuns()) {
            AskTheWindowManager(L"windowminimize", window);
        } else {
            ShowWindow(window, SW_MINIMIZE);
        }
        ASSERT_TRUE(testutil::PumpUntil([&] { return IsIconic(window) != FALSE; }, kBoundMs)) << way.what;
        way.bringBack(window);
        fitsAndStays(way.what);
    }
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\restored-window-" + DisplayTag() + L".png"));
    CloseTheDemo(window);
}

// The colours of the background tile that the program folder ships.
std::set<uint32_t> BackgroundColours()
{
    std::set<uint32_t> colours;
    Gdiplus::Bitmap tile((testutil::ProgramFolder() + L"\\Button\\BK.png").c_str());
    for (UINT y = 0; y < tile.GetHeight(); ++y) {
        for (UINT x = 0; x < tile.GetWidth(); ++x) {
            Gdiplus::Color colour;
            tile.GetPixel(static_cast<INT>(x), static_cast<INT>(y), &colour);
            colours.insert(colour.GetValue() & 0xFFFFFF);
        }
    }
    return colours;
}

// The screen grows as a monitor's does (xrandr, on a display that can change
// its size): the window fills it again, and the background covers the whole
// client area around the chart and the filter boxes, also where the screen
// it started on ended.
TEST_F(DemoRoad, OnALargerScreenTheBackgroundFillsTheWholeClientArea)
{
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1600);
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    testutil::StartUnixCommand(L"xrandr --output DUMMY0 --mode 1920x1080");
    std::string misfit;
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            return GetSystemMetrics(SM_CXSCREEN) == 1920 && (misfit = MisfitOf(window)).empty() &&
                   RedOfNumbersOnScreen(window) > kRedOfTheDemosNumbers;
        },
        kBoundMs))
        << GetSystemMetrics(SM_CXSCREEN) << " wide: " << misfit;
    const std::set<uint32_t> background = BackgroundColours();
    ASSERT_FALSE(background.empty());
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT chart = ScreenRectOf(GetDlgItem(window, kChartId));
    std::vector<RECT> boxes;
    for (int id = IDC_CHECK_OTHERS; id <= IDC_CHECK_UNKNOWN; ++id) {
        if (IsWindowVisible(GetDlgItem(window, id))) {
            boxes.push_back(ScreenRectOf(GetDlgItem(window, id)));
        }
    }
    // Right of the chart and below it, the filter boxes left out.
    const auto strange = [&] {
        const testutil::ScreenPixels screen = testutil::ReadScreen();
        int count = 0;
        for (LONG y = client.top; y < client.bottom; ++y) {
            for (LONG x = client.left; x < client.right; ++x) {
                const POINT at{x, y};
                const bool around = x >= chart.right || y >= chart.bottom;
                const bool onABox = std::any_of(boxes.begin(), boxes.end(),
                                                [&](const RECT& box) { return PtInRect(&box, at) != FALSE; });
                count += around && !onABox && background.count(screen.At(x, y)) == 0 ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_TRUE(testutil::PumpUntil([&] { return strange() == 0; }, kBoundMs))
        << strange() << " pixels around the chart are not the background's";
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\larger-screen-background.png"));
    CloseTheDemo(window);
}

constexpr wchar_t kViewerColourText[] = L"'#C020C0'";

// A program the user turned to, in the viewer's colour, as a user turns to
// one: through the window manager where one runs. A Wine program of its own
// process, or one of another kind, which Wine does not know (ImageMagick's
// display).
class OtherProgram {
public:
    // `place`: "screen" or WIDTHxHEIGHT+X+Y, for a program of another kind.
    explicit OtherProgram(bool ofAnotherKind, const std::wstring& place = L"screen")
    {
        if (ofAnotherKind) {
            std::istringstream state(RunScript("x-viewer.sh", std::wstring(kViewerColourText) + L" " + place));
            state >> unixProcessId >> xWindow;
            return;
        }
        const std::string path = QUILL_E2E_VIEWER;
        std::wstring commandLine = L"\"" + std::wstring(path.begin(), path.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            return;
        }
        CloseHandle(info.hThread);
        viewer = info.hProcess;
        HWND window = nullptr;
        testutil::PumpUntil(
            [&] {
                window = testutil::FindVisibleWindow(L"QuillViewerProgram", nullptr, info.dwProcessId);
                return window != nullptr && XIdOf(window) != 0;
            },
            kBoundMs);
        if (window == nullptr) {
            return;
        }
        xWindow = XIdOf(window);
        // Without a window manager the display's keyboard focus is the user's
        // turn, as a click on an unmanaged window gives it.
        AskTheWindowManager(WindowManagerRuns() ? L"windowactivate" : L"windowfocus", window);
    }
    ~OtherProgram()
    {
        if (viewer != nullptr) {
            TerminateProcess(viewer, 0);
            WaitForSingleObject(viewer, kBoundMs);
            CloseHandle(viewer);
        }
        if (unixProcessId != 0) {
            testutil::StartUnixCommand(L"kill " + std::to_wstring(unixProcessId));
        }
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    ULONG_PTR XWindow() const { return xWindow; }

private:
    HANDLE viewer = nullptr;
    unsigned long unixProcessId = 0;
    ULONG_PTR xWindow = 0;
};

// Where the pointer goes from a hovered tooth: onto the capture toolbar,
// which lies over the chart's top-left corner, or onto a window of a program
// of another kind lying over the chart, which Wine does not know.
struct HoverLeave {
    const char* what;
    bool ofAnotherKind;
    const wchar_t* screenshot;
};

const HoverLeave kHoverLeaves[] = {
    {"the toolbar", false, L"hover-left-for-toolbar.png"},
    {"a window of another kind", true, L"hover-left-for-x-window.png"},
};

void PrintTo(const HoverLeave& c, std::ostream* out)
{
    *out << c.what;
}

class TheHoverEnds : public DemoRoad, public testing::WithParamInterface<HoverLeave> {};

TEST_P(TheHoverEnds, WhenThePointerLeavesTheToothForAWindowOverTheChart)
{
    const HoverLeave& c = GetParam();
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    HWND toolbar = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] { return (toolbar = FindToolbar()) != nullptr; }, kBoundMs));
    const RECT chart = ScreenRectOf(GetDlgItem(window, kChartId));
    const auto greenOnChart = [&] { return testutil::ReadScreen().Count(chart, HOVER_GREEN); };
    // A tooth's number stands inside its box.
    const testutil::ScreenPixels screen = testutil::ReadScreen();
    POINT number{-1, -1};
    for (LONG y = chart.top; y < chart.bottom && number.x < 0; ++y) {
        for (LONG x = chart.left; x < chart.right && number.x < 0; ++x) {
            if (screen.At(x, y) == NUMBER_RED) {
                number = {x, y};
            }
        }
    }
    ASSERT_GE(number.x, 0);
    SetCursorPos(number.x, number.y);
    ASSERT_TRUE(testutil::PumpUntil([&] { return greenOnChart() > 0; }, kBoundMs));

    std::unique_ptr<OtherProgram> program;
    if (c.ofAnotherKind) {
        // In the chart's bottom-right corner, where the demo has no teeth.
        const RECT over{chart.right - 300, chart.bottom - 200, chart.right - 50, chart.bottom - 50};
        program = std::make_unique<OtherProgram>(true, L"250x150+" + std::to_wstring(over.left) + L"+" +
                                                           std::to_wstring(over.top));
        ASSERT_NE(program->XWindow(), 0u);
        ASSERT_TRUE(testutil::PumpUntil([&] { return testutil::ReadScreen().Count(over, ColourOf(kViewerColour)) > 0; },
                                        kBoundMs));
        ASSERT_GT(greenOnChart(), 0) << "the window's arrival ended the hover";
        // Moved on the display itself, as a user's hand does: Wine hears
        // nothing of it.
        const POINT onIt = Centre(over);
        testutil::StartUnixCommand(L"xdotool mousemove " + std::to_wstring(onIt.x) + L" " + std::to_wstring(onIt.y));
    } else {
        const POINT onToolbar = Centre(ScreenRectOf(toolbar));
        SetCursorPos(onToolbar.x, onToolbar.y);
    }
    EXPECT_TRUE(testutil::PumpUntil([&] { return greenOnChart() == 0; }, kBoundMs))
        << greenOnChart() << " pixels of the hover's green";
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\" + c.screenshot));
    program.reset();
    CloseTheDemo(window);
}

INSTANTIATE_TEST_SUITE_P(Windows, TheHoverEnds, testing::ValuesIn(kHoverLeaves));

TEST_F(DemoRoad, ACapturesResultComesToTheFrontOverTheProgramCapturedFrom)
{
    g_systemSetting.captureRect = {100, 100, 500, 400};
    g_systemSetting.dirty = true;
    ASSERT_TRUE(g_systemSetting.Save());
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    ViewerWindow viewer;
    RECT strip{};
    GetClientRect(window, &strip);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&strip), 2);
    strip.top = ScreenRectOf(GetDlgItem(window, kChartId)).bottom;
    const auto viewerOnStrip = [&] { return testutil::ReadScreen().Count(strip, ColourOf(kViewerColour)); };
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            return SetForegroundWindow(viewer.Get()) && GetForegroundWindow() == viewer.Get() && viewerOnStrip() > 0;
        },
        kBoundMs));

    PostMessageW(GetDlgItem(window, kChartId), WM_CAPTURE_SCREEN, 0, 0);
    ASSERT_TRUE(testutil::PumpUntil(
        [&] { return server.Requests().size() == 2 && TitleOf(window) != L"Quillmere - " + DemoSample(); }, kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil([&] { return GetForegroundWindow() == window && viewerOnStrip() == 0; }, kBoundMs))
        << "foreground " << (GetForegroundWindow() == window ? "the main window" : "another window") << ", "
        << viewerOnStrip() << " pixels of the viewer under the chart";
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\capture-in-front-" + DisplayTag() + L".png"));
    CloseTheDemo(window);
}

void PostCommand(HWND window, UINT command)
{
    PostMessageW(GetDlgItem(window, kChartId), WM_COMMAND, command, 0);
}

enum class FrontRoad { SecondStart, SecondStartOverTheSettings, Capture };

struct FrontCase {
    const char* what;
    bool ofAnotherKind;
    FrontRoad road;
};

const FrontCase kFrontCases[] = {
    {"a Wine program, a second start", false, FrontRoad::SecondStart},
    {"a Wine program, a second start over the settings", false, FrontRoad::SecondStartOverTheSettings},
    {"a Wine program, a capture", false, FrontRoad::Capture},
    {"an X program, a second start", true, FrontRoad::SecondStart},
    {"an X program, a second start over the settings", true, FrontRoad::SecondStartOverTheSettings},
    {"an X program, a capture", true, FrontRoad::Capture},
};

void PrintTo(const FrontCase& c, std::ostream* out)
{
    *out << c.what;
}

class AnotherProgramInFront : public DemoRoad, public testing::WithParamInterface<FrontCase> {};

// The user works in another program when the picture arrives. The window the
// user is to work in next (the main window, or the dialog it runs) comes to
// the front and has the keyboard, as the display says, or asks for the
// user's attention; a key the user presses then reaches it. A capture leaves
// the window maximised.
TEST_P(AnotherProgramInFront, TheMainWindowOrItsDialogComesToTheFrontWithTheKeyboard)
{
    const FrontCase& c = GetParam();
    if (c.road == FrontRoad::Capture) {
        g_systemSetting.captureRect = {100, 100, 500, 400};
        g_systemSetting.dirty = true;
        ASSERT_TRUE(g_systemSetting.Save());
    }
    const std::wstring other = folder.File(L"other pano.jpg");
    ASSERT_TRUE(CopyFileW(DemoSample().c_str(), other.c_str(), FALSE));
    HWND window = StartTheDemo();
    ASSERT_NE(window, nullptr);
    HWND dialog = nullptr;
    if (c.road == FrontRoad::SecondStartOverTheSettings) {
        PostCommand(window, ID_USER_SETTINGS);
        dialog = running->WaitForWindow(kSettingsCaption, kBoundMs);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(testutil::PumpUntil([&] { return FaceShareOnScreen(dialog) > 0.5; }, kBoundMs));
    }
    RECT strip{};
    GetClientRect(window, &strip);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&strip), 2);
    strip.top = ScreenRectOf(GetDlgItem(window, kChartId)).bottom;
    const auto viewerOnStrip = [&] { return testutil::ReadScreen().Count(strip, ColourOf(kViewerColour)); };
    OtherProgram program(c.ofAnotherKind);
    ASSERT_NE(program.XWindow(), 0u);
    DisplayState state;
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            state = ReadDisplayState({window});
            return viewerOnStrip() > 0 && state.active == program.XWindow();
        },
        kBoundMs))
        << "the other program " << program.XWindow() << " is not in front: " << state << ", " << viewerOnStrip()
        << " pixels of it under the chart";

    if (c.road == FrontRoad::Capture) {
        PostMessageW(GetDlgItem(window, kChartId), WM_CAPTURE_SCREEN, 0, 0);
        ASSERT_TRUE(testutil::PumpUntil(
            [&] { return server.Requests().size() == 2 && TitleOf(window) != L"Quillmere - " + DemoSample(); },
            kBoundMs));
    } else {
        testutil::ProgramProcess later(L"/file \"" + other + L"\"");
        ASSERT_TRUE(later.WaitForEnd(kBoundMs));
        ASSERT_NE(WaitForPicture(other, 2), nullptr);
    }
    const HWND front = dialog != nullptr ? dialog : window;
    // Without a window manager nothing raises the main window along with the
    // dialog it runs: the dialog is what the user turns to.
    const auto inFront = [&] {
        return state.active == XIdOf(front) && (!WindowManagerRuns() || state.top == XIdOf(front)) &&
               (dialog != nullptr ? FaceShareOnScreen(dialog) > 0.5 : viewerOnStrip() == 0);
    };
    EXPECT_TRUE(testutil::PumpUntil(
        [&] {
            state = ReadDisplayState({front, window});
            return inFront() || state.attention.count(XIdOf(window)) > 0;
        },
        kBoundMs))
        << state << "; the window " << XIdOf(window) << ", the window in front " << XIdOf(front) << "; "
        << viewerOnStrip() << " pixels of the other program under the chart";
    if (c.road == FrontRoad::Capture) {
        EXPECT_EQ(MisfitOf(window), "");
    }
    if (c.ofAnotherKind && c.road == FrontRoad::SecondStart) {
        EXPECT_TRUE(
            testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\front-over-x-program-" + DisplayTag() + L".png"));
    }
    if (!inFront()) {
        CloseTheDemo(window);
        return;
    }
    // The user's next key, typed on the display, reaches the window in front:
    // Esc closes the dialog, Enter on the main window runs its Load button.
    if (dialog != nullptr) {
        testutil::StartUnixCommand(L"xdotool key Escape");
        EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindow(dialog) == FALSE; }, kBoundMs)) << "Esc went elsewhere";
    } else {
        testutil::StartUnixCommand(L"xdotool key Return");
        const HWND open = running->WaitForWindow(kOpenCaption, kBoundMs);
        EXPECT_NE(open, nullptr) << "Enter went elsewhere";
        PostMessageW(open, WM_CLOSE, 0, 0);
        EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindow(open) == FALSE; }, kBoundMs));
    }
    CloseTheDemo(window);
}

INSTANTIATE_TEST_SUITE_P(Programs, AnotherProgramInFront, testing::ValuesIn(kFrontCases));

void PostClick(HWND window, int button)
{
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}

struct DialogCase {
    const char* what;
    // Opens the dialog over the main window; `folder` takes files it needs.
    void (*open)(HWND window, const std::wstring& folder);
    const wchar_t* caption;
    // The least share of the dialog's area in the face colour while it is on
    // top: its edit controls and lists are white.
    double faceShare;
    // What closes it from the keyboard.
    std::vector<WORD> keys;
};

const DialogCase kDialogs[] = {
    {"settings",
     [](HWND window, const std::wstring&) { PostCommand(window, ID_USER_SETTINGS); },
     kSettingsCaption,
     0.5,
     {VK_ESCAPE}},
    {"template editor",
     [](HWND window, const std::wstring&) { PostCommand(window, ID_EDIT_RECORD_TEMPLATE); },
     kEditorCaption,
     0.2,
     {VK_MENU, VK_F4}},
    {"system test",
     [](HWND window, const std::wstring&) { PostCommand(window, ID_SYSTEM_TEST); },
     kSystemTestCaption,
     0.1,
     {VK_ESCAPE}},
    {"about box",
     [](HWND window, const std::wstring&) { PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); },
     kAboutCaption,
     0.5,
     {VK_RETURN}},
    {"Open dialog",
     [](HWND window, const std::wstring&) { PostClick(window, IDC_BTN_LOAD); },
     kOpenCaption,
     0.2,
     {VK_MENU, VK_F4}},
    // The Analyse button on a picture that cannot be read.
    {"message box",
     [](HWND window, const std::wstring& folder) {
         const std::wstring broken = folder + L"\\broken.jpg";
         testutil::WriteBytes(broken, "not a picture");
         testutil::ProgramProcess start(L"/file \"" + broken + L"\"");
         EXPECT_TRUE(start.WaitForEnd(kBoundMs));
         EXPECT_TRUE(testutil::PumpUntil([&] { return TitleOf(window) == L"Quillmere - " + broken; }, kBoundMs));
         PostClick(window, IDC_BTN_ANALYSE);
     },
     kMessageBoxCaption,
     0.3,
     {VK_RETURN}},
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
    c.open(window, folder.Path());
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

    // What the user types goes to the dialog: the keys close it, and only it.
    testutil::PressChord(c.keys);
    EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindow(dialog) == FALSE; }, kBoundMs));
    testutil::ProgramProcess third(L"/file \"" + sample + L"\"");
    ASSERT_TRUE(third.WaitForEnd(kBoundMs));
    EXPECT_NE(WaitForPicture(sample, 3), nullptr);
    CloseTheDemo(window);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, SecondStartBehindADialog, testing::ValuesIn(kDialogs));

} // namespace
