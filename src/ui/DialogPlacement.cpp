#include "ui/DialogPlacement.h"

#include <algorithm>
#include <cstring>

namespace {

// The header fields of both template forms, up to the dialog's place.
constexpr size_t kExtendedStyleOffset = 12;
constexpr size_t kExtendedXOffset = 18;
constexpr size_t kExtendedHeaderSize = 22;
constexpr size_t kPlainXOffset = 10;
constexpr size_t kPlainHeaderSize = 14;
constexpr WORD kExtendedSignature = 0xFFFF;

template <typename T> T ReadAt(const BYTE* bytes, size_t offset)
{
    T value;
    std::memcpy(&value, bytes + offset, sizeof(value));
    return value;
}

LONG Width(const RECT& rect)
{
    return rect.right - rect.left;
}

LONG Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

// Where a span of `size` starts when centred on [from, to), kept inside
// [low, high) as far as it fits, its start first.
LONG CentredStart(LONG from, LONG to, LONG size, LONG low, LONG high)
{
    const LONG start = from + (to - from - size) / 2;
    return std::max(low, std::min(start, high - size));
}

} // namespace

bool TemplateLeavesPlaceOpen(HINSTANCE module, UINT templateId)
{
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return false;
    }
    const size_t size = SizeofResource(module, found);
    DWORD style = 0;
    size_t xOffset = 0;
    if (size >= kExtendedHeaderSize && ReadAt<WORD>(bytes, sizeof(WORD)) == kExtendedSignature) {
        style = ReadAt<DWORD>(bytes, kExtendedStyleOffset);
        xOffset = kExtendedXOffset;
    } else if (size >= kPlainHeaderSize) {
        style = ReadAt<DWORD>(bytes, 0);
        xOffset = kPlainXOffset;
    } else {
        return false;
    }
    const auto x = ReadAt<short>(bytes, xOffset);
    const auto y = ReadAt<short>(bytes, xOffset + sizeof(short));
    return x == 0 && y == 0 && (style & (DS_ABSALIGN | DS_CENTER | DS_CENTERMOUSE | WS_CHILD)) == 0;
}

void CentreOnOwner(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && (!IsWindowVisible(owner) || IsIconic(owner))) {
        owner = nullptr;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    RECT around = work;
    RECT frame{};
    if ((owner != nullptr && !GetWindowRect(owner, &around)) || !GetWindowRect(window, &frame)) {
        return;
    }
    const LONG x = CentredStart(around.left, around.right, Width(frame), work.left, work.right);
    const LONG y = CentredStart(around.top, around.bottom, Height(frame), work.top, work.bottom);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
