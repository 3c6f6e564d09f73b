// The capture hot key: while armed, the key combination of the resources
// (IDR_CAPTURE_HOTKEY) reaches the window as WM_HOTKEY from whichever
// program has the focus. Released when the object goes, so that no
// combination stays held for a window that is gone.
#pragma once

#include <windows.h>

class CCaptureHotKey {
public:
    // The WM_HOTKEY id of the combination.
    static constexpr int HOT_KEY_ID = 1;

    CCaptureHotKey() = default;
    CCaptureHotKey(const CCaptureHotKey&) = delete;
    CCaptureHotKey& operator=(const CCaptureHotKey&) = delete;
    ~CCaptureHotKey() { Release(); }

    // Watches the combination for `window`; false when the resources lack it
    // or another program holds it.
    bool Arm(HWND window);
    void Release();
    bool Armed() const { return window != nullptr; }

    // The combination as RegisterHotKey takes it; false when the resources
    // lack it.
    static bool Combination(UINT* modifiers, UINT* key);

private:
    HWND window = nullptr;
};
