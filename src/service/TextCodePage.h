// Paths on the loopback wire are narrow text in the thread's ANSI code page.
#pragma once

#include <string>

// False when the text does not convert exactly (bytes that are no character
// of the code page, or characters it cannot hold).
bool AnsiToWide(const std::string& text, std::wstring* out);
bool WideToAnsi(const std::wstring& text, std::string* out);
