#include "ui/ShellOpen.h"

#include <windows.h>

#include <shellapi.h>

#include <utility>

namespace {

// ShellExecuteW reports success by a value above 32.
constexpr INT_PTR SHELL_EXECUTE_FAILURE_LIMIT = 32;

ShellOpener& ReplacedOpener()
{
    static ShellOpener opener;
    return opener;
}

} // namespace

bool ShellOpen(const std::wstring& target)
{
    const ShellCall call{nullptr, target, SW_SHOWDEFAULT};
    if (const ShellOpener& opener = ReplacedOpener()) {
        return opener(call);
    }
    const HINSTANCE result = ShellExecuteW(nullptr, call.verb, call.target.c_str(), nullptr, nullptr, call.showCommand);
    return reinterpret_cast<INT_PTR>(result) > SHELL_EXECUTE_FAILURE_LIMIT;
}

ShellOpener ReplaceShellOpener(ShellOpener opener)
{
    return std::exchange(ReplacedOpener(), std::move(opener));
}
