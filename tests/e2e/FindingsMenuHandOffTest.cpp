// The real Quillmere.exe with patient A's findings menu open on tooth 26
// while a second start hands over patient B's image, which is analysed behind
// the menu: the menu closes with A's teeth and leaves patient B's findings,
// text and filter check boxes as B's analysis made them.
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "analysis/AnalysisServer.h"
#include "foundation/JpegFile.h"
#include "ui/Gdiplus.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr wchar_t kMainClass[] = L"TARNWICKDLG_CLASS";
constexpr UINT kChartId = 0xFFFF;
constexpr DWORD kBoundMs = 30000;
constexpr int kImageWidth = 1000;
constexpr int kImageHeight = 500;
// Tooth 26 of both patients, by its centre and size in image pixels, at
// (600, 200)-(700, 320).
constexpr char kBoxOf26[] = "650,260,100,120,26\n";
// The colour of a tooth's number in its box.
constexpr uint32_t kNumberRed = 0xFF0000;
// The filter check boxes of the kinds "Perio" and "Endodontic".
constexpr int kPerioCheck = 1010;
constexpr int kEndodonticCheck = 1014;

// The findings texts of the shipped user template, with the analysis marker.
// Periodontitis on fewer than four teeth reads the same as none.
const std::wstring kLines[] = {
    L"環口X光片判讀：", L"牙周狀態：齒槽骨高度大致正常或輕微吸收",
    L"齲齒：無",        L"根尖病灶：無",
    L"殘根：無",        L"阻生齒：無",
    L"缺牙：無",        L"牙冠／牙橋：無",
    L"人工植牙：無",
};
const std::wstring kMarker = L"[%BRISVANE_ANALYSIS%]";

std::wstring FindingsText(const wchar_t* endodontic)
{
    std::wstring text;
    for (const auto& line : kLines) {
        text += line + L"\r\n";
    }
    return text + L"根管治療：" + endodontic + L"\r\n填補物：無\r\n牙柱：無" + kMarker;
}

std::wstring TitleOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

FakeScenario ReplyWith(const std::string& findings)
{
    FakeScenario reply;
    reply.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", kBoxOf26}, {"#@DISINFO@#", findings}});
    return reply;
}

std::wstring WriteImage(const std::wstring& path, BYTE shade)
{
    Gdiplus::Bitmap bitmap(kImageWidth, kImageHeight, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFF, 0x20, 0x30, shade));
    }
    EXPECT_TRUE(SaveImageAsJpeg(&bitmap, path.c_str()));
    return path;
}

void SendMouse(DWORD flags, POINT at)
{
    const LONG width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const LONG height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ((at.x - GetSystemMetrics(SM_XVIRTUALSCREEN)) * 65535 + (width - 1) / 2) / (width - 1);
    input.mi.dy = ((at.y - GetSystemMetrics(SM_YVIRTUALSCREEN)) * 65535 + (height - 1) / 2) / (height - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof input);
}

HWND VisibleMenu(const testutil::ProgramProcess& program)
{
    return testutil::FindVisibleWindow(L"#32768", nullptr, program.Id());
}

class FindingsMenuHandOff : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(ANALYSIS_SERVER_PORT));
        SetCursorPos(0, 0);
    }
    void TearDown() override { SetCursorPos(0, 0); }

    // The running window once it shows `path`, has asked the server
    // `requests` times and has put `text` on the clipboard.
    HWND WaitForAnalysed(const std::wstring& path, size_t requests, const std::wstring& text)
    {
        HWND window = nullptr;
        const bool done = testutil::PumpUntil(
            [&] {
                window = FindWindowW(kMainClass, nullptr);
                return window != nullptr && TitleOf(window) == L"Quillmere - " + path &&
                       server.Requests().size() == requests && testutil::ClipboardText() == text;
            },
            kBoundMs);
        EXPECT_EQ(testutil::ClipboardText(), text);
        EXPECT_EQ(server.Requests().size(), requests);
        return done ? window : nullptr;
    }

    FakeAnalysisServer server;
    testutil::ScratchFolder folder;
};

TEST_F(FindingsMenuHandOff, PatientBsImageHandedOverBehindPatientAsOpenMenuKeepsBsFindings)
{
    const std::wstring patientA = WriteImage(folder.File(L"patient A.jpg"), 0x50);
    const std::wstring patientB = WriteImage(folder.File(L"patient B.jpg"), 0x40);
    server.AddScenario(ReplyWith("26,p\n"));
    server.AddScenario(ReplyWith("26,e\n"));
    const std::wstring textOfA = FindingsText(L"無");
    const std::wstring textOfB = FindingsText(L"牙位 26");

    testutil::ProgramProcess running(L"/file \"" + patientA + L"\"");
    ASSERT_TRUE(running.Started());
    HWND window = WaitForAnalysed(patientA, 1, textOfA);
    ASSERT_NE(window, nullptr);

    // A click on tooth 26, once its box is drawn, opens its findings menu:
    // the chart knows where its boxes are only once it has painted them.
    const HWND chart = GetDlgItem(window, kChartId);
    ASSERT_NE(chart, nullptr);
    RECT client{};
    GetClientRect(chart, &client);
    RECT box{600 * client.right / kImageWidth, 200 * client.bottom / kImageHeight, 700 * client.right / kImageWidth,
             320 * client.bottom / kImageHeight};
    MapWindowPoints(chart, nullptr, reinterpret_cast<POINT*>(&box), 2);
    ASSERT_TRUE(testutil::PumpUntil([&] { return testutil::ReadScreen().Count(box, kNumberRed) > 0; }, kBoundMs));
    POINT tooth{650 * client.right / kImageWidth, 260 * client.bottom / kImageHeight};
    ClientToScreen(chart, &tooth);
    SendMouse(0, {tooth.x - 5, tooth.y - 5});
    SendMouse(0, tooth);
    SendMouse(MOUSEEVENTF_LEFTDOWN, tooth);
    SendMouse(MOUSEEVENTF_LEFTUP, tooth);
    HWND menu = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] { return (menu = VisibleMenu(running)) != nullptr; }, kBoundMs));

    // Patient B's image, by a second start, while the menu stays open.
    testutil::ProgramProcess later(L"/file \"" + patientB + L"\"");
    ASSERT_TRUE(later.WaitForEnd(kBoundMs));
    ASSERT_NE(WaitForAnalysed(patientB, 2, textOfB), nullptr);
    const bool closed = testutil::PumpUntil([&] { return VisibleMenu(running) == nullptr; }, kBoundMs);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\findings-menu-hand-off-e2e.png"));
    EXPECT_TRUE(closed);
    if (!closed) {
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    // Whatever the closing menu would do is done once the window answers.
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, kBoundMs, &answer), 0);
    EXPECT_EQ(testutil::ClipboardText(), textOfB);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, kEndodonticCheck)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, kPerioCheck)));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.WaitForEnd(kBoundMs));
    EXPECT_EQ(running.ExitCode(), 0u);
}

} // namespace
