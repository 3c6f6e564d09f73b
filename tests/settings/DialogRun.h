// Runs a dialog modally while a script of steps drives it from a timer of
// the test's own thread; a dialog still open when the bound runs out is
// closed, so that a step that never comes true fails the test instead of
// hanging it.
#pragma once

#include "CaptureTestUtil.h"
#include "ui/Dialog.h"

#include <string>
#include <vector>

namespace dialogtest {

struct DialogRun {
    INT_PTR result = 0;
    bool scriptFinished = false;
};

DialogRun RunDialog(CDialogEx& dialog, std::vector<capturetest::TimerScript::Step> steps, DWORD boundMs = 60000);

// A step that clicks a button of the open `dialog` the way a click does
// (BM_CLICK), so that the button itself tells its parent.
capturetest::TimerScript::Step Click(const CDialogEx& dialog, int buttonId);

std::wstring ControlText(HWND control);

} // namespace dialogtest
