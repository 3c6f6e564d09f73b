// The service dialog on a machine unlike the others of the run (set up by
// no-network.sh and two-monitors.sh): no network adapter, so no machine id,
// and a 1024 x 768 monitor left of the 1280 x 1024 primary.
#include "service/ServiceDlg.h"
#include "FakeAnalysisServer.h"
#include "ServiceClient.h"
#include "ServiceTestFiles.h"
#include "WinTestUtil.h"
#include "foundation/MacAddressUtil.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPortBoundMs = 10000;
constexpr DWORD kWorkerEndBoundMs = 20000;
const std::string SHUTDOWN_FRAME = "PTL1;11;SHUTDOWN;0;";

// Runs the dialog modally while `drive` acts from another thread once the
// server listens, then stops the server; a dialog still open 30 s later is
// ended with IDABORT.
void RunDialog(CServiceDlg& dialog, const std::function<void(HWND)>& drive)
{
    std::atomic<bool> ended{false};
    std::thread driver([&] {
        if (WaitForServicePort(kPortBoundMs)) {
            drive(FindWindowW(nullptr, L"BrisvaneService"));
            AskService(SHUTDOWN_FRAME);
        }
        for (int waited = 0; !ended && waited < 30000; waited += 10) {
            Sleep(10);
        }
        if (!ended) {
            PostMessageW(FindWindowW(nullptr, L"BrisvaneService"), WM_COMMAND, IDABORT, 0);
        }
    });
    dialog.DoModal();
    ended = true;
    driver.join();
}

TEST(ServiceMachine, TheDialogStaysOffBothMonitorsWithOneLeftOfThePrimary)
{
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the display set-up failed";
    ASSERT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), -1024);
    CServiceDlg dialog;
    RECT frame{};
    HMONITOR monitor = nullptr;
    bool screenshot = false;
    RunDialog(dialog, [&](HWND window) {
        GetWindowRect(window, &frame);
        monitor = MonitorFromRect(&frame, MONITOR_DEFAULTTONULL);
        // Both monitors as a person sees them while the service runs.
        screenshot = testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\service-off-screen.png");
    });
    EXPECT_TRUE(screenshot);
    EXPECT_GT(frame.right, frame.left) << "the dialog was not found";
    EXPECT_EQ(monitor, nullptr);
    // Left of the left monitor, not merely at the customary -1000 on it.
    EXPECT_LE(frame.right, GetSystemMetrics(SM_XVIRTUALSCREEN));
}

TEST(ServiceMachine, WithoutAMachineIdAnalysesFailAndUpdatesGetNoReply)
{
    std::string mac = "unread";
    ASSERT_TRUE(GetMacAddressString(&mac));
    ASSERT_EQ(mac, "") << "the machine has a network adapter";

    FakeAnalysisServer fake;
    ASSERT_TRUE(fake.Start(ANALYSIS_SERVER_PORT));
    fake.SetScenario(AcceptWith("11,b\n"));
    testutil::ScratchFolder folder;
    ASSERT_TRUE(WriteTestJpeg(folder.File(L"scan.jpg"), 4));
    const std::string image = Narrow(folder.File(L"scan.jpg"));
    const std::vector<std::wstring> before = testutil::TempJpegs();

    struct Case {
        const char* what;
        std::string request;
        std::string reply;
    };
    const Case cases[] = {
        {"NEW", NewRequest("NEW", image), "RPT1;8;CODE;1;0"},
        {"NEWSHARP", NewRequest("NEWSHARP", image), "RPT1;8;CODE;1;0"},
        {"NEWSMART", NewRequest("NEWSMART", image), "RPT1;8;CODE;1;0"},
        {"UPDATE", RequestFrame("UPDATE;0;" + Field("GUID", "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9") +
                                Field("DISINFO", "m=18\n")),
         ""},
    };
    std::vector<ServiceAnswer> answers;
    CServiceDlg dialog;
    RunDialog(dialog, [&](HWND) {
        for (const Case& c : cases) {
            answers.push_back(AskService(c.request));
        }
    });
    ASSERT_EQ(answers.size(), std::size(cases));
    for (size_t i = 0; i < answers.size(); ++i) {
        EXPECT_TRUE(answers[i].closed) << cases[i].what;
        EXPECT_EQ(answers[i].bytes, cases[i].reply) << cases[i].what;
    }
    EXPECT_TRUE(fake.Requests().empty()) << "a request reached the analysis server without a machine id";
    EXPECT_EQ(testutil::TempJpegs(), before) << "a sharpened copy stayed behind";
    EXPECT_TRUE(testutil::PumpUntil([&] { return !dialog.IsWorkerRunning(); }, kWorkerEndBoundMs));
}

} // namespace
