// Bringing a top-level window to the user: back from a minimise and to the
// front with the keyboard, or, where the system keeps another program in
// front, flashing until the user turns to it.
#pragma once

#include <windows.h>

// Restores `main` when it is minimised, raises it and activates the window
// the user works in (the modal dialog `main` runs, if any). Runs on the
// thread of `main`. Whether the system let it in is known at once on
// Windows, and under Wine a moment later, from the X window manager's answer:
// where it was refused, `main` flashes.
void BringToFront(HWND main);

// For a later start, which the system lets bring a program forward: restores
// `window` of another process when it is minimised and hands that process the
// right to come to the front, which it then takes with BringToFront.
void GrantFrontTo(HWND window);
