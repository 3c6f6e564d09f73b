#include "ui/Wnd.h"

#include "ui/ExceptionGuard.h"

#include <commctrl.h>

#include <unordered_map>

namespace {

constexpr UINT_PTR kSubclassId = 1;

using BindingMap = std::unordered_map<HWND, CWnd*>;

// Which object each window of this thread is bound to. Windows belong to the
// thread that created them, and so do their bindings. The table hangs on a
// Win32 TLS slot, not on a C++ thread_local: with this toolchain a
// thread_local's storage can be freed at thread exit before its destructor
// runs, which then frees the table's memory a second time. The table is made
// at a thread's first binding and deleted with its last, so a thread that
// ends with no window of ours leaves nothing behind.
DWORD BindingSlot()
{
    static const DWORD slot = TlsAlloc();
    return slot;
}

BindingMap* BindingTable()
{
    return static_cast<BindingMap*>(TlsGetValue(BindingSlot()));
}

bool AddBinding(HWND window, CWnd* object)
{
    BindingMap* table = BindingTable();
    if (table == nullptr) {
        table = new BindingMap;
        TlsSetValue(BindingSlot(), table);
    }
    return table->emplace(window, object).second;
}

void RemoveBinding(HWND window, const CWnd* object)
{
    BindingMap* table = BindingTable();
    if (table == nullptr) {
        return;
    }
    const auto found = table->find(window);
    if (found != table->end() && found->second == object) {
        table->erase(found);
    }
    if (table->empty()) {
        TlsSetValue(BindingSlot(), nullptr);
        delete table;
    }
}

// The child control that a message sent to its parent concerns, or null.
HWND ChildConcerned(HWND parent, UINT message, LPARAM lParam)
{
    if (lParam == 0) {
        return nullptr;
    }
    switch (message) {
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        return item->CtlType != ODT_MENU ? GetDlgItem(parent, static_cast<int>(item->CtlID)) : nullptr;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    default:
        return nullptr;
    }
}

} // namespace

CWnd::~CWnd()
{
    const HWND window = hwnd;
    const bool destroy = ownsWindow;
    Unbind();
    if (destroy && IsWindow(window)) {
        DestroyWindow(window);
    }
}

CWnd* CWnd::FromHandle(HWND window)
{
    const BindingMap* table = BindingTable();
    if (table == nullptr) {
        return nullptr;
    }
    const auto found = table->find(window);
    return found != table->end() ? found->second : nullptr;
}

bool CWnd::PreTranslateChain(MSG* msg)
{
    for (HWND window = msg->hwnd; window != nullptr; window = GetParent(window)) {
        CWnd* object = FromHandle(window);
        if (object != nullptr && object->PreTranslateMessage(msg)) {
            return true;
        }
        if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
            break;
        }
    }
    return false;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CWnd::RegisterWindowClass(const wchar_t* className, UINT classStyle)
{
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(module, className, &windowClass)) {
        return true;
    }
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = StaticWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect,
                    HWND parent, UINT id)
{
    if (hwnd != nullptr) {
        return false;
    }
    // Only a child window has an id in place of a menu.
    const auto menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>((style & WS_CHILD) != 0 ? id : 0));
    const HWND created = CreateWindowExW(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                                         rect.bottom - rect.top, parent, menu, GetModuleHandleW(nullptr), this);
    if (created == nullptr) {
        return false;
    }
    if (hwnd != created) {
        // Not a class of ours: nothing would reach this object.
        DestroyWindow(created);
        return false;
    }
    ownsWindow = true;
    return true;
}

bool CWnd::SubclassWindow(HWND window)
{
    if (window == nullptr || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        return false;
    }
    if (!Bind(window, Binding::Subclass, nullptr)) {
        return false;
    }
    PreSubclassWindow();
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent != nullptr && SubclassWindow(::GetDlgItem(parent->GetSafeHwnd(), static_cast<int>(id)));
}

std::wstring CWnd::GetWindowText() const
{
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void CWnd::SetWindowText(const std::wstring& text)
{
    ::SetWindowTextW(hwnd, text.c_str());
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM)
{
    return Default();
}

LRESULT CWnd::Default()
{
    return DefaultProc(current.message, current.wParam, current.lParam);
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC baseProc)
{
    CWnd* object = FromHandle(window);
    if (object == nullptr && message == WM_NCCREATE) {
        // CreateEx hands the object over as the creation parameter.
        object = static_cast<CWnd*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (object != nullptr && !object->Bind(window, Binding::OwnClass, baseProc)) {
            object = nullptr;
        }
    }
    if (object != nullptr) {
        return object->Receive(message, wParam, lParam);
    }
    return baseProc != nullptr ? CallWindowProcW(baseProc, window, message, wParam, lParam)
                               : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RouteMessage(window, message, wParam, lParam, nullptr);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR object)
{
    return reinterpret_cast<CWnd*>(object)->Receive(message, wParam, lParam);
}

bool CWnd::Bind(HWND window, Binding how, WNDPROC base)
{
    if (hwnd != nullptr || window == nullptr || !AddBinding(window, this)) {
        return false;
    }
    if (how == Binding::Subclass &&
        !SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        RemoveBinding(window, this);
        return false;
    }
    hwnd = window;
    binding = how;
    baseProc = base;
    return true;
}

void CWnd::Unbind()
{
    if (hwnd == nullptr) {
        return;
    }
    if (binding == Binding::Subclass) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
    }
    RemoveBinding(hwnd, this);
    hwnd = nullptr;
    binding = Binding::None;
    baseProc = nullptr;
    ownsWindow = false;
}

LRESULT CWnd::Receive(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallGuarded<LRESULT>(0, [&] {
        LRESULT reflected = 0;
        return ReflectToChild(message, wParam, lParam, reflected) ? reflected : Dispatch(message, wParam, lParam);
    });
    if (message == WM_NCDESTROY) {
        Unbind();
        CallGuarded(0, [this] {
            PostNcDestroy();
            return 0;
        });
    }
    return result;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const HWND child = ChildConcerned(hwnd, message, lParam);
    CWnd* object = child != hwnd ? FromHandle(child) : nullptr;
    return object != nullptr && object->OnChildNotify(message, wParam, lParam, &result);
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Default() of an outer message of the same object must see that message
    // again once this one is done, unless the handler ended the binding (the
    // object may be gone then).
    class CurrentScope {
    public:
        CurrentScope(CWnd& object, const CurrentMessage& inner)
            : object(object), window(object.hwnd), outer(object.current)
        {
            object.current = inner;
        }
        ~CurrentScope()
        {
            if (FromHandle(window) == &object) {
                object.current = outer;
            }
        }

    private:
        CWnd& object;
        HWND window;
        CurrentMessage outer;
    };
    const CurrentScope scope(*this, {message, wParam, lParam});
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (binding) {
    case Binding::Subclass:
        return DefSubclassProc(hwnd, message, wParam, lParam);
    case Binding::OwnClass:
        return baseProc != nullptr ? CallWindowProcW(baseProc, hwnd, message, wParam, lParam)
                                   : DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return 0;
    }
}
