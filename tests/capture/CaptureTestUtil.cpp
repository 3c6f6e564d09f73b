#include "CaptureTestUtil.h"

#include "WinTestUtil.h"

#include <string>
#include <utility>

namespace capturetest {

namespace {

TimerScript* runningScript = nullptr;

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

} // namespace

BOOL CALLBACK FindBoxProc(HWND window, LPARAM found);

void MouseTo(POINT screen)
{
    const LONG left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const LONG top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const LONG width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const LONG height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    // Rounded to the nearest step, so that the pointer lands on the pixel.
    const LONG dx = ((screen.x - left) * 65535 + (width - 1) / 2) / (width - 1);
    const LONG dy = ((screen.y - top) * 65535 + (height - 1) / 2) / (height - 1);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK, dx, dy);
}

void MouseDown()
{
    SendMouse(MOUSEEVENTF_LEFTDOWN);
}

void MouseUp()
{
    SendMouse(MOUSEEVENTF_LEFTUP);
}

TimerScript::TimerScript(std::vector<Step> steps, DWORD boundMs)
    : steps(std::move(steps)), deadline(GetTickCount64() + boundMs)
{
    runningScript = this;
    timer = SetTimer(nullptr, 0, 30, OnTimer);
}

TimerScript::~TimerScript()
{
    KillTimer(nullptr, timer);
    runningScript = nullptr;
}

void CALLBACK TimerScript::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    TimerScript* script = runningScript;
    if (script == nullptr || script->Finished() || GetTickCount64() > script->deadline) {
        return;
    }
    // A step may open a modal loop that ticks again: the step is taken first.
    const size_t current = script->next;
    script->next = script->steps.size();
    const bool done = script->steps[current]();
    if (runningScript == script) {
        script->next = done ? current + 1 : current;
    }
}

BOOL CALLBACK FindBoxProc(HWND window, LPARAM found)
{
    wchar_t className[16] = {};
    wchar_t caption[32] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, caption, 32);
    if (IsWindowVisible(window) && std::wstring(className) == L"#32770" && std::wstring(caption) == L"Vuzizudo") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

TimerScript::Step Answer(int button)
{
    return [button] {
        const HWND box = FindMessageBox();
        if (box == nullptr) {
            return false;
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return true;
    };
}

TimerScript::Step Asked()
{
    return [] { return FindMessageBox() != nullptr; };
}

TimerScript::Step OverlayShown(const CMonitorDlg& picker)
{
    return [&picker] { return picker.GetSafeHwnd() != nullptr && IsWindowVisible(picker.GetSafeHwnd()); };
}

TimerScript::Step Check(std::function<void()> check)
{
    return [check] {
        check();
        return true;
    };
}

TimerScript::Step Drag(const CWnd& target, POINT from, POINT to)
{
    return [&target, from, to] {
        const HWND window = target.GetSafeHwnd();
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        return true;
    };
}

Pixels ReadPixels(HWND window)
{
    Pixels pixels;
    pixels.data = testutil::ReadClientPixels(window, &pixels.width, &pixels.height);
    return pixels;
}

} // namespace capturetest
