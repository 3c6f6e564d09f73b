// Arbitrary bytes as the health-education catalogue's text: every item has
// codes and a kind of 0 or 1, sits under the first byte of its codes, comes
// from one line of the text, and a page folder ends with its backslash;
// numbering gives commands only within the range, each once.
#include "chart/HealthInfoLoader.h"

#include "foundation/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr int32_t FIRST_COMMAND = 32821;
constexpr int32_t LAST_COMMAND = 32880;

void Check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the file reader gives it: the text ends at the first zero byte.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text = Utf8ToWide(bytes.c_str());
    CHealthInfoLoader loader;
    loader.Parse(text);

    size_t lines = 1;
    for (const wchar_t c : text) {
        lines += c == L'\n' ? 1 : 0;
    }
    Check(loader.Count() <= lines);
    for (const auto& [key, items] : loader.items) {
        Check(!items.empty());
        for (const CHealthInfo& item : items) {
            Check(!item.codes.empty() && static_cast<signed char>(item.codes[0]) == key);
            Check(item.kind == HEALTH_PAGE_ITEM || item.kind == HEALTH_SHELL_ITEM);
            Check(item.commandId == 0);
            Check(item.title.find(L'\n') == std::wstring::npos && item.title.find(L';') == std::wstring::npos);
            Check(item.kind != HEALTH_PAGE_ITEM || item.path.empty() || item.path.back() == '\\');
        }
    }

    loader.NumberCommands(FIRST_COMMAND, LAST_COMMAND);
    std::set<int32_t> seen;
    size_t unnumbered = 0;
    loader.ForEach([&](const CHealthInfo& item) {
        if (item.commandId == 0) {
            ++unnumbered;
            return;
        }
        Check(item.commandId >= FIRST_COMMAND && item.commandId <= LAST_COMMAND);
        Check(seen.insert(item.commandId).second);
        Check(loader.FindCommand(item.commandId) == &item);
    });
    Check(seen.size() == std::min<size_t>(loader.Count(), LAST_COMMAND - FIRST_COMMAND + 1));
    Check(seen.size() + unnumbered == loader.Count());
    return 0;
}
