// Opening a file or page with the program the user has for it. Every such
// call of the program goes through here, so that tests can watch the calls
// instead of starting programs on the test display.
#pragma once

#include <functional>
#include <string>

// True when the shell took the target ("open" verb, shown normally).
bool ShellOpen(const std::wstring& target);

using ShellOpener = std::function<bool(const std::wstring& target)>;

// Puts `opener` in the place of the shell for this process and returns the
// one it replaces; an empty opener brings the shell back.
ShellOpener ReplaceShellOpener(ShellOpener opener);
