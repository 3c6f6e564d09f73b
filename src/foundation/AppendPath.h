#pragma once

#include <string>

// Appends `part` to `base` with exactly one backslash between them, judged on
// one character of each side only: runs of backslashes are not collapsed.
void AppendPath(const std::wstring& part, std::wstring& base);
