// The sending side of the hand-off in one process: the later start calls
// ActivateRunningInstance while the first start's main dialog, on a thread
// of its own, does not exist yet.
#include "app/TarnwickApp.h"
#include "app/TarnwickDlg.h"

#include "WinTestUtil.h"
#include "ui/Handles.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

bool IsSet(const UniqueHandle& event)
{
    return WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

TEST(HandOff, AMainWindowCreatedAfterTheLaterStartLookedStillGetsThePath)
{
    ASSERT_TRUE(theApp.RegisterDialogClass());
    ASSERT_EQ(FindWindowW(L"TARNWICKDLG_CLASS", nullptr), nullptr);
    const UniqueHandle looking(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const UniqueHandle handedOver(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool opened = false;

    std::thread firstStart([&] {
        // The window comes well after the later start's first look for it.
        // That look leaves no trace to wait for, so this pause orders the
        // two: a look delayed past it on a busy machine finds the window at
        // once and the test passes without the wait proved, never failing
        // by chance, as the pause is well inside the later start's wait.
        WaitForSingleObject(looking.Get(), INFINITE);
        Sleep(500);
        CTarnwickDlg dialog;
        if (!dialog.Create()) {
            return;
        }
        opened =
            testutil::PumpUntil([&] { return dialog.GetWindowText() == L"Quillmere - C:\\scans\\late.jpg"; }, 5000);
        // Serve the restore and the activation until the later start is done.
        testutil::PumpUntil([&] { return IsSet(handedOver); }, 5000);
    });
    SetEvent(looking.Get());
    const BOOL found = CTarnwickApp::ActivateRunningInstance(L"C:\\scans\\late.jpg");
    SetEvent(handedOver.Get());
    firstStart.join();

    EXPECT_TRUE(found);
    EXPECT_TRUE(opened);
}

} // namespace
