// Bringing a top-level window to the user: back from a minimise and to the
// front with the keyboard, or, where the system keeps another program in
// front, flashing until the user turns to it.
#pragma once

#include <windows.h>

// The window the user works in: while `main` runs a modal dialog (the
// settings, the template editor, a message box) it is disabled, and brought
// forward itself it would take the keyboard from that dialog.
HWND FrontWindowOf(HWND main);

// Restores `main` when it is minimised and activates FrontWindowOf(main);
// false when the system refused the activation and `main` flashes instead.
bool BringToFront(HWND main);
