// Bringing a top-level window to the user: back from a minimise and to the
// front with the keyboard, or, where the system keeps another program in
// front, flashing until the user turns to it.
#pragma once

#include <windows.h>

// Restores `main` when it is minimised and activates the window the user
// works in (the modal dialog `main` runs, if any); where the system refuses
// the activation, `main` flashes instead.
void BringToFront(HWND main);
