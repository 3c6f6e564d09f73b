#include "ui/Static.h"

namespace {

constexpr wchar_t kClassName[] = L"QuillmereStatic";

} // namespace

WNDPROC CStatic::staticControlProc = nullptr;

bool CStatic::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    if (parent == nullptr || parent->GetSafeHwnd() == nullptr || !RegisterSuperclass()) {
        return false;
    }
    return CreateEx(0, kClassName, L"", style | WS_CHILD, rect, parent->GetSafeHwnd(), id);
}

bool CStatic::RegisterSuperclass()
{
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(module, kClassName, &windowClass)) {
        return true;
    }
    // The static control's own class: its extra bytes, cursor and styles
    // stay, only the procedure and the name are ours.
    if (!GetClassInfoExW(nullptr, L"Static", &windowClass)) {
        return false;
    }
    staticControlProc = windowClass.lpfnWndProc;
    windowClass.lpfnWndProc = SuperclassProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kClassName;
    windowClass.style &= ~CS_GLOBALCLASS;
    return RegisterClassExW(&windowClass) != 0;
}

LRESULT CALLBACK CStatic::SuperclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RouteMessage(window, message, wParam, lParam, staticControlProc);
}
