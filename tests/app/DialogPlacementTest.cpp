// Where the dialogs of the main window open: centred on it, whichever road
// opens them, and not in its corner under the capture toolbar.
#include "MainWindowHost.h"

#include "app/AppIds.h"
#include "app/TarnwickApp.h"
#include "capture/SelectDisplayDlg.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace mainwindowtest;

namespace {

POINT Centre(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST_F(MainWindowTest, ItsDialogsOpenCentredOnIt)
{
    const HWND chart = dialog.toothChart.GetSafeHwnd();
    const std::vector<SMonitorEntry> twoMonitors{{nullptr, {0, 0, 800, 600}}, {nullptr, {800, 0, 1600, 600}}};
    const struct {
        const char* name;
        std::function<void()> open;
    } roads[] = {
        {"settings", [&] { SendMessageW(chart, WM_COMMAND, ID_USER_SETTINGS, 0); }},
        {"system test", [&] { SendMessageW(chart, WM_COMMAND, ID_SYSTEM_TEST, 0); }},
        {"template editor", [&] { SendMessageW(chart, WM_COMMAND, ID_EDIT_RECORD_TEMPLATE, 0); }},
        {"about box", [&] { SendMessageW(dialog.GetSafeHwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }},
        {"monitor chooser",
         [&] {
             CSelectDisplayDlg chooser(&twoMonitors);
             chooser.DoModal();
         }},
    };
    // The owner a dialog opened without a parent falls back to when this
    // thread has no active window (the display's focus is shared).
    CWnd* const previousMain = theApp.mainWnd;
    theApp.mainWnd = &dialog;
    RECT main{};
    GetWindowRect(dialog.GetSafeHwnd(), &main);
    ASSERT_TRUE(IsZoomed(dialog.GetSafeHwnd()));
    for (const auto& road : roads) {
        std::vector<SeenWindow> seen;
        {
            ModalWatcher watcher(GetCurrentThreadId());
            road.open();
            seen = watcher.Seen();
        }
        ASSERT_EQ(seen.size(), 1u) << road.name;
        const POINT opened = Centre(seen[0].place);
        EXPECT_NEAR(opened.x, Centre(main).x, 1) << road.name;
        EXPECT_NEAR(opened.y, Centre(main).y, 1) << road.name;
    }
    theApp.mainWnd = previousMain;
}

} // namespace
