// Texts of the string table and the message boxes that show them.
#pragma once

#include <windows.h>

#include <string>

// The string-table entry, or an empty text when there is none.
std::wstring LoadResString(UINT id);

// A message box with a string-table text and the application's name as
// caption. Without an icon in `type` it shows the exclamation mark.
int ShowMessageBox(UINT textId, UINT type = MB_OK);
