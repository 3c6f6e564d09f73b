// Takes one of our windows off the screen before a capture of `region`.
#pragma once

#include <windows.h>

// Hides `window`. When it lay over `region`, the windows under it are
// repainted before this returns: a capture right after the hide would
// otherwise copy the hidden window's pixels, still on the screen.
void HideWindowForCapture(HWND window, const RECT& region);
