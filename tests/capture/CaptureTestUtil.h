// What the toolbar and picker tests share: real mouse input, a script of
// steps that runs inside whichever modal loop is open, the question box
// found and answered, and a window's pixels read back.
#pragma once

#include "capture/MonitorDlg.h"
#include "ui/Wnd.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace capturetest {

// Moves the pointer to a screen point, and presses or releases the left
// button where it is: input as a person's hand gives it (SendInput).
void MouseTo(POINT screen);
void MouseDown();
void MouseUp();

// Runs steps one after another from a thread timer, so they also run inside
// a modal loop or a message box of the test's own thread. A step returns
// true when done; the next one starts at the following tick. The script
// gives up, running no more steps, after `boundMs`.
class TimerScript {
public:
    using Step = std::function<bool()>;
    TimerScript(std::vector<Step> steps, DWORD boundMs = 20000);
    TimerScript(const TimerScript&) = delete;
    TimerScript& operator=(const TimerScript&) = delete;
    ~TimerScript();

    bool Finished() const { return next >= steps.size(); }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);

    std::vector<Step> steps;
    size_t next = 0;
    ULONGLONG deadline;
    UINT_PTR timer;
};

// The visible message box of this thread (caption "Vuzizudo"), or null.
HWND FindMessageBox();
// A step: answers the open message box with `button` (IDYES, IDNO...).
TimerScript::Step Answer(int button);
// A step that waits until the question is open.
TimerScript::Step Asked();
// A step that waits until the picker's overlay shows.
TimerScript::Step OverlayShown(const CMonitorDlg& picker);
// A step that runs `check` once.
TimerScript::Step Check(std::function<void()> check);
// A step: a press at `from`, a move and a release at `to`, posted in client
// coordinates to the window that `window` has when the step runs.
TimerScript::Step Drag(const CWnd& window, POINT from, POINT to);

// The window's client pixels (0x00RRGGBB) as it draws them.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};
Pixels ReadPixels(HWND window);

} // namespace capturetest
