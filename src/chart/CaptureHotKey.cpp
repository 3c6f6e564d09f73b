#include "chart/CaptureHotKey.h"

#include "res/resource.h"

bool CCaptureHotKey::Combination(UINT* modifiers, UINT* key)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_CAPTURE_HOTKEY));
    if (table == nullptr) {
        return false;
    }
    ACCEL entry{};
    const bool found = CopyAcceleratorTableW(table, &entry, 1) == 1 && (entry.fVirt & FVIRTKEY) != 0;
    DestroyAcceleratorTable(table);
    if (!found) {
        return false;
    }
    *modifiers = ((entry.fVirt & FCONTROL) != 0 ? MOD_CONTROL : 0) | ((entry.fVirt & FALT) != 0 ? MOD_ALT : 0) |
                 ((entry.fVirt & FSHIFT) != 0 ? MOD_SHIFT : 0);
    *key = entry.key;
    return true;
}

bool CCaptureHotKey::Arm(HWND target)
{
    Release();
    UINT modifiers = 0;
    UINT key = 0;
    if (target == nullptr || !Combination(&modifiers, &key)) {
        return false;
    }
    // A held combination repeats; one capture per press is enough.
    if (!RegisterHotKey(target, HOT_KEY_ID, modifiers | MOD_NOREPEAT, key)) {
        return false;
    }
    window = target;
    return true;
}

void CCaptureHotKey::Release()
{
    if (window != nullptr) {
        UnregisterHotKey(window, HOT_KEY_ID);
        window = nullptr;
    }
}
