// The real Quillmere.exe under Wine with the fake analysis server on the
// program's own port: a start with a file shows the image with the boxes of
// the server's teeth, the filter check boxes of the kinds found and the
// findings text on the clipboard; a second start replaces image and boxes;
// the capture toolbar's button sends the stored region of the screen to the
// server and the chart shows that picture with its boxes. The screen is read
// back as the user would see it, and kept as a picture.
#include "../capture/BitmapTestFiles.h"
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "analysis/AnalysisServer.h"
#include "analysis/FindingKind.h"
#include "foundation/JpegFile.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"
#include "ui/Gdiplus.h"
#include "ui/GdiplusPtr.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";
constexpr UINT kChartId = 0xFFFF;
constexpr wchar_t kSettingsCaption[] = L"設定";
constexpr DWORD kBoundMs = 30000;
constexpr DWORD kSettleMs = 5000;
constexpr uint32_t BOX_GREY = 0x808080;
constexpr uint32_t NUMBER_RED = 0xFF0000;
constexpr uint32_t LABEL_WHITE = 0xFFFFFF;
constexpr int kImageWidth = 1000;
constexpr int kImageHeight = 500;

struct ScenarioTooth {
    int number;
    uint32_t mask;
    RECT box; // in image pixels
};

struct Scenario {
    std::vector<ScenarioTooth> teeth;
    std::string findings;
    std::vector<int> checkBoxes; // the filter check boxes shown
    // On the clipboard after the analysis: the shipped "Record\User.tpl"
    // filled in, with the analysis marker (a new settings file asks for it).
    std::wstring clipboardText;
    // The size of the picture the boxes lie on.
    SIZE image{kImageWidth, kImageHeight};

    // The server names a box by its centre, width and height.
    std::string Boxes() const
    {
        std::string text;
        for (const auto& t : teeth) {
            const LONG width = t.box.right - t.box.left;
            const LONG height = t.box.bottom - t.box.top;
            text += std::to_string(t.box.left + width / 2) + "," + std::to_string(t.box.top + height / 2) + "," +
                    std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(t.number) + "\n";
        }
        return text;
    }

    FakeScenario Reply() const
    {
        FakeScenario reply;
        reply.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", Boxes()}, {"#@DISINFO@#", findings}});
        return reply;
    }
};

// Away from the top-left corner, where the capture toolbar may float.
const Scenario kFirst{{{11, FINDING_CAVITY, {200, 200, 280, 320}},
                       {21, FINDING_FILLING, {400, 200, 480, 320}},
                       {31, FINDING_HEALTHY, {600, 250, 680, 370}},
                       {36, FINDING_CAVITY | FINDING_PERIO, {800, 250, 880, 370}}},
                      "11,c\n21,f\n36,cp\n",
                      {1006, 1010, 1012, 1015},
                      L"環口X光片判讀：\r\n"
                      L"牙周狀態：齒槽骨高度大致正常或輕微吸收\r\n"
                      L"齲齒：牙位 11,36\r\n"
                      L"根尖病灶：無\r\n"
                      L"殘根：無\r\n"
                      L"阻生齒：無\r\n"
                      L"缺牙：無\r\n"
                      L"牙冠／牙橋：無\r\n"
                      L"人工植牙：無\r\n"
                      L"根管治療：無\r\n"
                      L"填補物：牙位 21\r\n"
                      L"牙柱：無[%BRISVANE_ANALYSIS%]"};
const Scenario kSecond{{{12, FINDING_CROWN_BRIDGE, {300, 150, 400, 300}}},
                       "12,b\n",
                       {1007},
                       L"環口X光片判讀：\r\n"
                       L"牙周狀態：齒槽骨高度大致正常或輕微吸收\r\n"
                       L"齲齒：無\r\n"
                       L"根尖病灶：無\r\n"
                       L"殘根：無\r\n"
                       L"阻生齒：無\r\n"
                       L"缺牙：無\r\n"
                       L"牙冠／牙橋：牙位 12\r\n"
                       L"人工植牙：無\r\n"
                       L"根管治療：無\r\n"
                       L"填補物：無\r\n"
                       L"牙柱：無[%BRISVANE_ANALYSIS%]"};

std::wstring TitleOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// A dark picture with a lighter band, of the scenario's size.
std::wstring WriteImage(const std::wstring& path, BYTE shade)
{
    Gdiplus::Bitmap bitmap(kImageWidth, kImageHeight, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFF, 0x20, 0x30, shade));
        Gdiplus::SolidBrush band(Gdiplus::Color(0xFF, 0x50, 0x60, 0x70));
        graphics.FillRectangle(&band, 0, kImageHeight / 3, kImageWidth, kImageHeight / 3);
    }
    EXPECT_TRUE(SaveImageAsJpeg(&bitmap, path.c_str()));
    return path;
}

class MainWindowEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(ANALYSIS_SERVER_PORT));
        // The pointer over a tooth would draw it in the hover colour.
        SetCursorPos(0, 0);
        SetCurrentDirectoryW(testutil::ProgramWorkFolder().c_str());
        ASSERT_TRUE(g_systemSetting.Load());
    }

    // The running window once it shows `path`, has asked the server
    // `requests` times and has put the findings text of `scenario` on the
    // clipboard; null when that does not happen in time.
    HWND WaitForAnalysed(const std::wstring& path, size_t requests, const Scenario& scenario)
    {
        const std::wstring title = L"Quillmere - " + path;
        const std::wstring& text = scenario.clipboardText;
        HWND window = nullptr;
        const bool done = testutil::PumpUntil(
            [&] {
                window = FindWindowW(kMainClass, nullptr);
                return window != nullptr && TitleOf(window) == title && server.Requests().size() == requests &&
                       testutil::ClipboardText() == text;
            },
            kBoundMs);
        EXPECT_EQ(testutil::ClipboardText(), text);
        EXPECT_EQ(server.Requests().size(), requests);
        return done ? window : nullptr;
    }

    // Checks the screen against the scenario: a box and its number on each
    // tooth that passes the start filter, none where a tooth of `gone` was,
    // and the white labels of the check boxes of the kinds found. The screen
    // is read as it shows itself, without forcing a repaint (that would hide
    // what the program's own repaints leave behind), once it has settled:
    // the first frame of a new picture may take a moment.
    void ExpectOnScreen(HWND window, const Scenario& scenario, const Scenario* gone, const wchar_t* picture)
    {
        std::vector<std::string> differences;
        testutil::PumpUntil(
            [&] {
                differences = ScreenDifferences(window, scenario, gone);
                return differences.empty();
            },
            kSettleMs);
        EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\" + picture));
        for (const std::string& difference : differences) {
            ADD_FAILURE() << difference;
        }
    }

    static std::vector<std::string> ScreenDifferences(HWND window, const Scenario& scenario, const Scenario* gone)
    {
        std::vector<std::string> differences;
        const auto differ = [&](bool same, const std::string& what, int count) {
            if (!same) {
                differences.push_back(what + " (" + std::to_string(count) + " pixels)");
            }
        };
        const testutil::ScreenPixels screen = testutil::ReadScreen();
        const HWND chart = GetDlgItem(window, kChartId);
        if (chart == nullptr) {
            return {"no chart"};
        }
        RECT chartRect{};
        GetClientRect(chart, &chartRect);
        POINT chartOrigin{0, 0};
        ClientToScreen(chart, &chartOrigin);

        const auto onScreen = [&](const RECT& box, const SIZE& image) {
            return RECT{chartOrigin.x + box.left * chartRect.right / image.cx,
                        chartOrigin.y + box.top * chartRect.bottom / image.cy,
                        chartOrigin.x + box.right * chartRect.right / image.cx,
                        chartOrigin.y + box.bottom * chartRect.bottom / image.cy};
        };
        for (const auto& tooth : scenario.teeth) {
            const RECT box = onScreen(tooth.box, scenario.image);
            const RECT topEdge{box.left, box.top - 2, box.right, box.top + 3};
            RECT inside = box;
            InflateRect(&inside, 3, 3);
            const bool shown = (tooth.mask & FILTER_ALL_FINDINGS) != 0;
            const int grey = screen.Count(topEdge, BOX_GREY);
            const int red = screen.Count(inside, NUMBER_RED);
            const std::string name = "tooth " + std::to_string(tooth.number);
            if (shown) {
                differ(grey >= (box.right - box.left) / 3, name + ": no dashed box", grey);
                differ(red > 0, name + ": no number", red);
            } else {
                differ(grey == 0, name + ": a box although filtered out", grey);
                differ(red == 0, name + ": a number although filtered out", red);
            }
        }
        if (gone != nullptr) {
            for (const auto& tooth : gone->teeth) {
                RECT inside = onScreen(tooth.box, gone->image);
                InflateRect(&inside, 3, 3);
                const int red = screen.Count(inside, NUMBER_RED);
                differ(red == 0, "gone tooth " + std::to_string(tooth.number) + ": its number is left", red);
            }
        }
        for (int id = 1006; id <= 1018; ++id) {
            const HWND box = GetDlgItem(window, id);
            const bool expected =
                std::find(scenario.checkBoxes.begin(), scenario.checkBoxes.end(), id) != scenario.checkBoxes.end();
            differ((IsWindowVisible(box) != FALSE) == expected, "check box " + std::to_string(id) + " shown wrongly",
                   0);
            if (expected) {
                RECT rect{};
                GetWindowRect(box, &rect);
                const int white = screen.Count(rect, LABEL_WHITE);
                differ(white > 10, "check box " + std::to_string(id) + ": no white label", white);
            }
        }
        return differences;
    }

    FakeAnalysisServer server;
    testutil::ScratchFolder folder;
};

TEST_F(MainWindowEndToEnd, AStartWithAFileShowsItsBoxesFiltersAndTextAndASecondStartReplacesThem)
{
    const std::wstring first = WriteImage(folder.File(L"first pano.jpg"), 0x50);
    const std::wstring second = WriteImage(folder.File(L"second pano.jpg"), 0x40);
    server.AddScenario(kFirst.Reply());
    server.AddScenario(kSecond.Reply());

    testutil::ProgramProcess running(L"/file \"" + first + L"\"");
    ASSERT_TRUE(running.Started());
    HWND window = WaitForAnalysed(first, 1, kFirst);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsZoomed(window));
    RECT fullClient{};
    GetClientRect(window, &fullClient);
    ExpectOnScreen(window, kFirst, nullptr, L"main-window-e2e-first.png");

    testutil::ProgramProcess later(L"/file \"" + second + L"\"");
    ASSERT_TRUE(later.WaitForEnd(kBoundMs));
    EXPECT_EQ(later.ExitCode(), 0u);
    window = WaitForAnalysed(second, 2, kSecond);
    ASSERT_NE(window, nullptr);
    // Still full-screen: the hand-off only brings a window that is not
    // minimised to the front.
    EXPECT_TRUE(IsZoomed(window));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_TRUE(EqualRect(&client, &fullClient)) << client.right << "x" << client.bottom;
    ExpectOnScreen(window, kSecond, &kFirst, L"main-window-e2e-second.png");

    // A file that is no picture cannot be analysed: nothing of the patient
    // before is left to paste for it.
    const std::wstring broken = folder.File(L"broken.jpg");
    testutil::WriteBytes(broken, "not a picture");
    testutil::ProgramProcess handsOverBroken(L"/file \"" + broken + L"\"");
    ASSERT_TRUE(handsOverBroken.WaitForEnd(kBoundMs));
    ASSERT_NE(WaitForAnalysed(broken, 2, Scenario{}), nullptr);

    // A minimised window comes back as it was, maximised.
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsIconic(window) != FALSE; }, kBoundMs));
    testutil::ProgramProcess third(L"");
    ASSERT_TRUE(third.WaitForEnd(kBoundMs));
    EXPECT_TRUE(testutil::PumpUntil([&] { return IsZoomed(window) != FALSE; }, kBoundMs));
    GetClientRect(window, &client);
    EXPECT_TRUE(EqualRect(&client, &fullClient)) << client.right << "x" << client.bottom;

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.WaitForEnd(kBoundMs));
    EXPECT_EQ(running.ExitCode(), 0u);
}

// A top-most window over `area` that shows two known colours side by side,
// as the program a dentist reads X-rays in would show its picture.
class KnownContentWindow {
public:
    static constexpr COLORREF LEFT = RGB(0xE0, 0x40, 0x20);
    static constexpr COLORREF RIGHT = RGB(0x20, 0x40, 0xE0);

    explicit KnownContentWindow(const RECT& area)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"QuillKnownContent";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, area.left,
                                 area.top, area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
    }
    ~KnownContentWindow() { DestroyWindow(window); }
    KnownContentWindow(const KnownContentWindow&) = delete;
    KnownContentWindow& operator=(const KnownContentWindow&) = delete;

    // True when the screen, as a capture reads it, shows the window's left
    // half; otherwise the window is shown anew, which puts it back on top,
    // and true when it then shows within a while.
    bool OnScreenOrShownAgain()
    {
        RECT area{};
        GetWindowRect(window, &area);
        const LONG middle = (area.top + area.bottom) / 2;
        const RECT spot{area.left + 10, middle, area.left + 11, middle + 1};
        const uint32_t left = (GetRValue(LEFT) << 16) | (GetGValue(LEFT) << 8) | GetBValue(LEFT);
        if (testutil::ReadScreenPixels(spot)[0] == left) {
            return true;
        }
        ShowWindow(window, SW_HIDE);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
        return testutil::WaitForScreenColour(spot, left, 2000);
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_PAINT) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client{};
        GetClientRect(hwnd, &client);
        RECT left = client;
        left.right = client.right / 2;
        RECT right = client;
        right.left = left.right;
        for (const auto& [half, colour] : {std::pair{left, LEFT}, std::pair{right, RIGHT}}) {
            HBRUSH brush = CreateSolidBrush(colour);
            FillRect(dc, &half, brush);
            DeleteObject(brush);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }

    HWND window = nullptr;
};

void ClickAt(POINT screen)
{
    const LONG width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const LONG height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ((screen.x - GetSystemMetrics(SM_XVIRTUALSCREEN)) * 65535 + (width - 1) / 2) / (width - 1);
    input.mi.dy = ((screen.y - GetSystemMetrics(SM_YVIRTUALSCREEN)) * 65535 + (height - 1) / 2) / (height - 1);
    // The queue keeps the three in order: the press and the release go
    // where the move left the pointer.
    INPUT inputs[3] = {input, input, input};
    const DWORD flags[3] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        inputs[i].mi.dwFlags = flags[i] | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    }
    SendInput(3, inputs, sizeof input);
}

// The uploaded JPEG data as a picture.
GdiplusPtr<Gdiplus::Bitmap> DecodeJpeg(const std::string& bytes)
{
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (stream == nullptr) {
        return nullptr;
    }
    GdiplusPtr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromStream(stream));
    stream->Release();
    return picture;
}

bool Near(const Gdiplus::Color& seen, COLORREF wanted)
{
    const auto close = [](int a, int b) { return a - b < 24 && b - a < 24; };
    return close(seen.GetR(), GetRValue(wanted)) && close(seen.GetG(), GetGValue(wanted)) &&
           close(seen.GetB(), GetBValue(wanted));
}

// The captured picture with the findings of the second scenario on a tooth in
// its left half.
Scenario CapturedScenario(const RECT& region)
{
    Scenario captured = kSecond;
    captured.teeth = {{12, FINDING_CROWN_BRIDGE, {80, 100, 180, 250}}};
    captured.image = {region.right - region.left, region.bottom - region.top};
    return captured;
}

TEST_F(MainWindowEndToEnd, TheToolbarsCaptureButtonSendsTheStoredRegionToTheServerAndTheToolbarComesBack)
{
    const RECT region{600, 300, 1000, 600};
    const Scenario captured = CapturedScenario(region);
    const RECT savedRegion = g_systemSetting.captureRect;
    const bool savedCaptureBar = g_systemSetting.captureBar;
    g_systemSetting.captureRect = region;
    g_systemSetting.captureBar = true;
    g_systemSetting.dirty = true;
    ASSERT_TRUE(g_systemSetting.Save());
    server.AddScenario(captured.Reply());

    testutil::ProgramProcess running(L"");
    ASSERT_TRUE(running.Started());
    HWND button = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] { return (button = testutil::FindCaptureButton()) != nullptr; }, kBoundMs));
    HWND toolbar = GetAncestor(button, GA_ROOT);
    HWND window = nullptr;
    ASSERT_TRUE(testutil::PumpUntil(
        [&] { return (window = FindWindowW(kMainClass, nullptr)) != nullptr && GetForegroundWindow() == window; },
        kBoundMs));
    // Shown once the program's window is up and active, as the viewer a
    // dentist captures from would be in front of it. Without a window
    // manager the display server stacks the window activated last on top,
    // whatever its top-most flag: once the program answers, it has handled
    // its activation, the raise included.
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kBoundMs, &answer), 0);
    auto content = std::make_unique<KnownContentWindow>(region);
    ASSERT_TRUE(testutil::PumpUntil([&] { return content->OnScreenOrShownAgain(); }, kBoundMs));
    RECT buttonRect{};
    GetWindowRect(button, &buttonRect);
    ClickAt({(buttonRect.left + buttonRect.right) / 2, (buttonRect.top + buttonRect.bottom) / 2});

    // The request is counted from its connection on; its picture is read once
    // the last field is in.
    ASSERT_TRUE(testutil::PumpUntil(
        [&] {
            const auto requests = server.Requests();
            return requests.size() == 1 && requests[0].complete;
        },
        kBoundMs));
    const std::string jpeg = FieldValue(server.Requests()[0].bytes, "#@JPG@#");
    const GdiplusPtr<Gdiplus::Bitmap> picture = DecodeJpeg(jpeg);
    ASSERT_TRUE(picture && picture->GetLastStatus() == Gdiplus::Ok);
    EXPECT_EQ(picture->GetWidth(), static_cast<UINT>(region.right - region.left));
    EXPECT_EQ(picture->GetHeight(), static_cast<UINT>(region.bottom - region.top));
    Gdiplus::Color left;
    Gdiplus::Color right;
    picture->GetPixel(100, 150, &left);
    picture->GetPixel(300, 150, &right);
    EXPECT_TRUE(Near(left, KnownContentWindow::LEFT)) << std::hex << left.GetValue();
    EXPECT_TRUE(Near(right, KnownContentWindow::RIGHT)) << std::hex << right.GetValue();
    EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindowVisible(toolbar) != FALSE; }, kBoundMs));

    // The chart shows the captured picture, its left and right halves where
    // the window stood no more, and the tooth's box over it.
    content.reset();
    ASSERT_TRUE(testutil::PumpUntil([&] { return testutil::ClipboardText() == captured.clipboardText; }, kBoundMs));
    ExpectOnScreen(window, captured, nullptr, L"toolbar-capture-e2e.png");
    const HWND chart = GetDlgItem(window, kChartId);
    RECT chartRect{};
    GetWindowRect(chart, &chartRect);
    const testutil::ScreenPixels screen = testutil::ReadScreen();
    const LONG middle = (chartRect.top + chartRect.bottom) / 2;
    const LONG width = chartRect.right - chartRect.left;
    const uint32_t leftSeen = screen.At(chartRect.left + width / 20, middle);
    const uint32_t rightSeen = screen.At(chartRect.right - width / 20, middle);
    EXPECT_TRUE(Near(Gdiplus::Color(0xFF000000 | leftSeen), KnownContentWindow::LEFT)) << std::hex << leftSeen;
    EXPECT_TRUE(Near(Gdiplus::Color(0xFF000000 | rightSeen), KnownContentWindow::RIGHT)) << std::hex << rightSeen;

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.WaitForEnd(kBoundMs));
    g_systemSetting.captureRect = savedRegion;
    g_systemSetting.captureBar = savedCaptureBar;
    g_systemSetting.dirty = true;
    EXPECT_TRUE(g_systemSetting.Save());
}

TEST_F(MainWindowEndToEnd, NoCopyOfThePatientOnScreenOutlivesALogoffOrAKilledRunOnceTheNextRunHasStarted)
{
    testutil::ScratchFolder temp;
    const testutil::TempFolderOverride ownTemp(temp.Path());
    // A grey picture: the chart uploads a 24-bit copy of it, which stays
    // while the patient is on the screen.
    const std::wstring grey = folder.File(L"\u7070 pano.jpg");
    ASSERT_TRUE(testimage::WriteImageFileAs(grey, testimage::OtherFormat::GreyJpeg, kImageWidth, kImageHeight));
    // A dialog of the window's own may be open when the session ends: its
    // loop, not the window's, hands the window the session's messages.
    const struct {
        const char* name;
        bool logoff;
        bool settingsOpen;
    } cases[] = {
        {"logoff", true, false},
        {"logoff with the settings dialog open", true, true},
        {"killed, then started", false, false},
    };
    for (const auto& c : cases) {
        const size_t requests = server.Requests().size();
        testutil::ProgramProcess running(L"/file \"" + grey + L"\"");
        ASSERT_TRUE(running.Started()) << c.name;
        HWND window = nullptr;
        ASSERT_TRUE(testutil::PumpUntil(
            [&] {
                window = FindWindowW(kMainClass, nullptr);
                return window != nullptr && server.Requests().size() > requests && testutil::TempJpegs().size() == 1;
            },
            kBoundMs))
            << c.name;
        const std::wstring copy = testutil::TempJpegs().front();
        if (c.settingsOpen) {
            PostMessageW(GetDlgItem(window, kChartId), WM_COMMAND, ID_USER_SETTINGS, 0);
            ASSERT_NE(running.WaitForWindow(kSettingsCaption, kBoundMs), nullptr) << c.name;
        }
        if (c.logoff) {
            DWORD_PTR answer = 0;
            EXPECT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kBoundMs, &answer), 0)
                << c.name;
            EXPECT_NE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kBoundMs, &answer), 0)
                << c.name;
            // The system ends the process as soon as the handler returns.
            EXPECT_FALSE(testutil::FileExists(copy)) << c.name;
            TerminateProcess(running.Handle(), 1);
            ASSERT_TRUE(running.WaitForEnd(kBoundMs)) << c.name;
        } else {
            // A later start hands over to the running window and leaves its copy alone.
            testutil::ProgramProcess handsOver(L"");
            ASSERT_TRUE(handsOver.WaitForEnd(kBoundMs)) << c.name;
            EXPECT_TRUE(testutil::FileExists(copy)) << c.name;
            TerminateProcess(running.Handle(), 1);
            ASSERT_TRUE(running.WaitForEnd(kBoundMs)) << c.name;
            EXPECT_TRUE(testutil::FileExists(copy)) << c.name << ": the killed run left nothing to delete";
            // The next run deletes it before its window is made.
            testutil::ProgramProcess next(L"");
            ASSERT_TRUE(
                testutil::PumpUntil([&] { return (window = FindWindowW(kMainClass, nullptr)) != nullptr; }, kBoundMs))
                << c.name;
            EXPECT_FALSE(testutil::FileExists(copy)) << c.name;
            PostMessageW(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(next.WaitForEnd(kBoundMs)) << c.name;
        }
        EXPECT_TRUE(testutil::EntriesIn(temp.Path()).empty()) << c.name << ": the temporary folder is not empty";
    }
}

} // namespace
