// Opening a file or page with the program the user has for it. Every such
// call of the program goes through here, so that tests can watch the calls
// instead of starting programs on the test display.
#pragma once

#include <functional>
#include <string>

// One call of the shell, as ShellExecuteW receives it.
struct ShellCall {
    const wchar_t* verb = nullptr; // null: the default verb of the target's type
    std::wstring target;
    int showCommand = 0;
};

// Opens `target` with the default verb of its type, shown as the system's
// default for the program that opens it (SW_SHOWDEFAULT). True when the
// shell took it.
bool ShellOpen(const std::wstring& target);

using ShellOpener = std::function<bool(const ShellCall& call)>;

// Puts `opener` in the place of the shell for this process and returns the
// one it replaces; an empty opener brings the shell back.
ShellOpener ReplaceShellOpener(ShellOpener opener);
