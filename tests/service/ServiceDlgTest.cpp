// The service dialog in the test's own process: how it ends, and what its
// worker does once the dialog has gone.
#include "service/ServiceDlg.h"
#include "FakeAnalysisServer.h"
#include "ServiceClient.h"
#include "ServiceTestFiles.h"
#include "WinTestUtil.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

constexpr int kPortBoundMs = 10000;
constexpr DWORD kWorkerEndBoundMs = 20000;
// The stop's bound on its wait for the worker, and what a loaded machine may
// add to it: less than a fifth of the bound, so that a longer wait fails. A
// stop timed over it is timed again, up to a few times: a longer wait never
// comes in under it, a busy moment of the machine seldom comes twice.
constexpr double kStopBoundSeconds = 3.0;
constexpr double kLoadMarginSeconds = 0.45;
constexpr int kTimedStopAttempts = 3;
const std::string SHUTDOWN_FRAME = "PTL1;11;SHUTDOWN;0;";

struct DialogRun {
    INT_PTR result = 0;
    double seconds = 0;
    std::chrono::steady_clock::time_point end;
};

// Runs the dialog modally while `drive` acts from another thread once the
// server listens; a dialog still open 30 s later is ended with IDABORT.
DialogRun RunDialog(CServiceDlg& dialog, const std::function<void(HWND)>& drive)
{
    std::atomic<bool> ended{false};
    std::thread driver([&] {
        if (WaitForServicePort(kPortBoundMs)) {
            drive(FindWindowW(nullptr, L"BrisvaneService"));
        }
        for (int waited = 0; !ended && waited < 30000; waited += 10) {
            Sleep(10);
        }
        if (!ended) {
            PostMessageW(FindWindowW(nullptr, L"BrisvaneService"), WM_COMMAND, IDABORT, 0);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    DialogRun run;
    run.result = dialog.DoModal();
    run.end = std::chrono::steady_clock::now();
    run.seconds = std::chrono::duration<double>(run.end - start).count();
    ended = true;
    driver.join();
    return run;
}

bool WaitForWorkerEnd(const CServiceDlg& dialog)
{
    return testutil::PumpUntil([&] { return !dialog.IsWorkerRunning(); }, kWorkerEndBoundMs);
}

TEST(ServiceDialog, EveryEndingStopsTheWorkerBeforeTheDialogReturns)
{
    const struct {
        const char* name;
        std::function<void(HWND)> end;
        INT_PTR result;
    } cases[] = {
        {"a shutdown request", [](HWND) { AskService(SHUTDOWN_FRAME); }, IDCANCEL},
        {"close", [](HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }, IDCANCEL},
        {"Enter", [](HWND window) { PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
        {"Esc", [](HWND window) { PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
        // Posted by another program: the window itself is not destroyed by it.
        {"WM_DESTROY posted", [](HWND window) { PostMessageW(window, WM_DESTROY, 0, 0); }, IDCANCEL},
        {"the end of the session",
         [](HWND window) {
             SendMessageW(window, WM_QUERYENDSESSION, 0, 0);
             SendMessageW(window, WM_ENDSESSION, TRUE, 0);
             // The process would end now: the worker has stopped already.
             EXPECT_TRUE(WaitForServicePortClosed(0));
         },
         IDCANCEL},
        {"a session that goes on",
         [](HWND window) {
             SendMessageW(window, WM_ENDSESSION, FALSE, 0);
             EXPECT_TRUE(WaitForServicePort(0));
             PostMessageW(window, WM_CLOSE, 0, 0);
         },
         IDCANCEL},
    };
    for (const auto& c : cases) {
        CServiceDlg dialog;
        const DialogRun run = RunDialog(dialog, c.end);
        EXPECT_EQ(run.result, c.result) << c.name;
        EXPECT_FALSE(dialog.IsWorkerRunning()) << c.name;
        EXPECT_TRUE(WaitForServicePortClosed(kWorkerEndBoundMs)) << c.name;
    }
}

TEST(ServiceDialog, ClosingWhileAClientHoldsItsConnectionGivesTheWorkerUpAfterTheWait)
{
    testutil::ScratchFolder folder;
    ASSERT_TRUE(WriteTestJpeg(folder.File(L"scan.jpg"), 2));
    // Tests of other programs write temporary files beside ours meanwhile.
    testutil::ScratchFolder temp;
    const testutil::TempFolderOverride ownTemp(temp.Path());
    const std::vector<std::wstring> before = testutil::TempJpegs();
    double stop = 0;
    for (int attempt = 0; attempt < kTimedStopAttempts; ++attempt) {
        CServiceDlg dialog;
        std::unique_ptr<HeldConnection> idle;
        std::chrono::steady_clock::time_point closed;
        const DialogRun run = RunDialog(dialog, [&](HWND window) {
            idle = std::make_unique<HeldConnection>();
            closed = std::chrono::steady_clock::now();
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        stop = std::chrono::duration<double>(run.end - closed).count();
        EXPECT_EQ(run.result, IDCANCEL);
        EXPECT_GE(stop, kStopBoundSeconds - 0.1);
        ASSERT_TRUE(dialog.IsWorkerRunning());
        // The worker given up makes no copy any more: it would outlive the
        // process, whose end comes while the copy is being made.
        ASSERT_TRUE(idle->Send(NewRequest("NEWSHARP", Narrow(folder.File(L"scan.jpg")))));
        std::string answer;
        EXPECT_TRUE(idle->ClosedByService(kWorkerEndBoundMs, &answer));
        EXPECT_EQ(answer, "") << "a copy was made after the worker was given up";
        EXPECT_EQ(testutil::TempJpegs(), before);
        // Then the worker takes the stop request that waited behind the
        // client, and ends without touching the dialog's window.
        EXPECT_TRUE(WaitForWorkerEnd(dialog));
        if (stop < kStopBoundSeconds + kLoadMarginSeconds) {
            break;
        }
    }
    EXPECT_LT(stop, kStopBoundSeconds + kLoadMarginSeconds);
}

// A logoff allows the stop its bound and no more, however long the stop
// request itself waits to be let in.
TEST(ServiceDialog, ClosingWhileClientsFillTheQueueEndsWithinTheSameBound)
{
    double stop = 0;
    for (int attempt = 0; attempt < kTimedStopAttempts; ++attempt) {
        CServiceDlg dialog;
        std::unique_ptr<HeldConnection> idle;
        std::vector<OwnedSocket> queued;
        std::chrono::steady_clock::time_point closed;
        const DialogRun run = RunDialog(dialog, [&](HWND window) {
            idle = std::make_unique<HeldConnection>();
            queued = FillServiceQueue(500);
            closed = std::chrono::steady_clock::now();
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        stop = std::chrono::duration<double>(run.end - closed).count();
        EXPECT_EQ(run.result, IDCANCEL);
        EXPECT_FALSE(queued.empty());
        // The worker ends at the close's own stop request, once it is let in
        // behind the clients, or at a later one; whichever comes first.
        idle.reset();
        queued.clear();
        const bool asked = AskService(SHUTDOWN_FRAME).connected;
        EXPECT_TRUE(WaitForWorkerEnd(dialog)) << (asked ? "asked again" : "ended at the close's own request");
        EXPECT_TRUE(WaitForServicePortClosed(kWorkerEndBoundMs));
        if (stop < kStopBoundSeconds + kLoadMarginSeconds) {
            break;
        }
    }
    EXPECT_LT(stop, kStopBoundSeconds + kLoadMarginSeconds);
}

TEST(ServiceDialog, ARequestUnderWayWhenEnterComesIsAnsweredBeforeTheWorkerStops)
{
    FakeAnalysisServer fake;
    ASSERT_TRUE(fake.Start(ANALYSIS_SERVER_PORT));
    FakeScenario slow = AcceptWith("11,b\n");
    slow.delayMs = 1500;
    fake.SetScenario(slow);
    testutil::ScratchFolder folder;
    ASSERT_TRUE(WriteTestJpeg(folder.File(L"scan.jpg"), 2));

    std::thread client;
    ServiceAnswer answer;
    {
        auto dialog = std::make_unique<CServiceDlg>();
        const DialogRun run = RunDialog(*dialog, [&](HWND window) {
            client =
                std::thread([&] { answer = AskService(NewRequest("NEWSHARP", Narrow(folder.File(L"scan.jpg")))); });
            while (fake.Requests().empty()) {
                Sleep(10);
            }
            PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_EQ(run.result, IDOK);
        EXPECT_FALSE(dialog->IsWorkerRunning());
    }
    client.join();
    const std::string guid = FieldValue(fake.Requests().back().bytes, KEY_GUID);
    EXPECT_EQ(FieldValue(FrameValue(answer.bytes), "GUID"), guid);
    EXPECT_TRUE(WaitForServicePortClosed(kWorkerEndBoundMs));
}

} // namespace
