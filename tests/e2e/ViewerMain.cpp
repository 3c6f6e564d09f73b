// A Wine program of its own process over the whole screen, all of one
// colour, as the imaging program a dentist works in; it runs until ended.
#include <windows.h>

namespace {

constexpr COLORREF kViewerColour = RGB(0xC0, 0x20, 0xC0);

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = CreateSolidBrush(kViewerColour);
    windowClass.lpszClassName = L"QuillViewerProgram";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, windowClass.lpszClassName, L"Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}
