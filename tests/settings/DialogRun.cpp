#include "DialogRun.h"

#include <utility>

namespace dialogtest {

namespace {

BOOL CALLBACK PostClose(HWND window, LPARAM)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void CALLBACK CloseEverything(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), PostClose, 0);
}

} // namespace

DialogRun RunDialog(CDialogEx& dialog, std::vector<capturetest::TimerScript::Step> steps, DWORD boundMs)
{
    const UINT_PTR guard = SetTimer(nullptr, 0, boundMs, CloseEverything);
    DialogRun run;
    {
        capturetest::TimerScript script(std::move(steps), boundMs);
        run.result = dialog.DoModal();
        run.scriptFinished = script.Finished();
    }
    KillTimer(nullptr, guard);
    return run;
}

capturetest::TimerScript::Step Click(const CDialogEx& dialog, int buttonId)
{
    return [&dialog, buttonId] {
        const HWND button = dialog.GetDlgItem(buttonId);
        if (button == nullptr) {
            return false;
        }
        PostMessageW(button, BM_CLICK, 0, 0);
        return true;
    };
}

std::wstring ControlText(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

} // namespace dialogtest
