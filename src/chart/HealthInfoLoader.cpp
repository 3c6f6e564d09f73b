#include "chart/HealthInfoLoader.h"

#include "analysis/FindingKind.h"
#include "foundation/TextFile.h"
#include "foundation/Utf8.h"

#include <algorithm>
#include <array>

namespace {

constexpr wchar_t LINE_END = L'\n';
constexpr wchar_t SEPARATOR = L';';
constexpr size_t SEPARATORS_PER_LINE = 4;
constexpr wchar_t PATH_SEPARATOR = L'\\';

// The white space a C runtime's atoi skips before a number.
bool IsAsciiSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// The C runtime's iswspace differs between platforms past ASCII; this set,
// the Unicode white-space characters, is the same on every build, and takes
// the ideographic space of a Chinese keyboard with it.
bool IsWideSpace(wchar_t c)
{
    switch (c) {
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return IsAsciiSpace(c) || (c >= 0x2000 && c <= 0x200A);
    }
}

// The low 8 bits of the number atoi would read: white space, a sign, digits
// up to the first other character; no digits give 0. Only the low bits
// count, so an overlong number wraps instead of overflowing.
uint8_t KindByte(std::wstring_view field)
{
    size_t at = 0;
    while (at < field.size() && IsAsciiSpace(field[at])) {
        ++at;
    }
    bool negative = false;
    if (at < field.size() && (field[at] == L'+' || field[at] == L'-')) {
        negative = field[at] == L'-';
        ++at;
    }
    uint32_t value = 0;
    for (; at < field.size() && field[at] >= L'0' && field[at] <= L'9'; ++at) {
        value = value * 10u + static_cast<uint32_t>(field[at] - L'0');
    }
    return static_cast<uint8_t>(negative ? 0u - value : value);
}

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && IsWideSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWideSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool CHealthInfoLoader::Load(const std::string& path)
{
    items.clear();
    std::wstring text;
    if (!ReadUtf8File(path.c_str(), &text)) {
        return false;
    }
    Parse(text);
    return true;
}

void CHealthInfoLoader::Parse(const std::wstring& text)
{
    items.clear();
    const std::wstring_view all(text);
    size_t start = 0;
    while (start < all.size()) {
        const size_t lineEnd = std::min(all.find(LINE_END, start), all.size());
        const std::wstring_view line = all.substr(start, lineEnd - start);
        start = lineEnd + 1;

        std::array<size_t, SEPARATORS_PER_LINE> at{};
        size_t from = 0;
        bool complete = true;
        for (size_t& separator : at) {
            separator = line.find(SEPARATOR, from);
            if (separator == std::wstring_view::npos) {
                complete = false;
                break;
            }
            from = separator + 1;
        }
        if (!complete) {
            continue;
        }
        const uint8_t kind = KindByte(line.substr(0, at[0]));
        if (kind != HEALTH_PAGE_ITEM && kind != HEALTH_SHELL_ITEM) {
            continue;
        }
        CHealthInfo item;
        item.kind = kind;
        item.codes = WideToUtf8(line.substr(at[0] + 1, at[1] - at[0] - 1));
        if (item.codes.empty()) {
            continue;
        }
        item.findingMask = ParseFindingCodes(item.codes);
        item.title = std::wstring(line.substr(at[1] + 1, at[2] - at[1] - 1));
        std::wstring path(Trimmed(line.substr(at[2] + 1, at[3] - at[2] - 1)));
        if (kind == HEALTH_PAGE_ITEM && !path.empty() && path.back() != PATH_SEPARATOR) {
            path += PATH_SEPARATOR;
        }
        item.path = WideToUtf8(path);
        items[static_cast<signed char>(item.codes[0])].push_back(std::move(item));
    }
}

size_t CHealthInfoLoader::Count() const
{
    size_t count = 0;
    for (const auto& entry : items) {
        count += entry.second.size();
    }
    return count;
}

void CHealthInfoLoader::NumberCommands(int32_t first, int32_t last)
{
    int32_t next = first;
    for (auto& entry : items) {
        for (CHealthInfo& item : entry.second) {
            item.commandId = next <= last ? next++ : 0;
        }
    }
}

const CHealthInfo* CHealthInfoLoader::FindCommand(int32_t commandId) const
{
    for (const auto& entry : items) {
        for (const CHealthInfo& item : entry.second) {
            if (item.commandId == commandId) {
                return &item;
            }
        }
    }
    return nullptr;
}

void CHealthInfoLoader::ForEach(const std::function<void(const CHealthInfo&)>& visit) const
{
    for (const auto& entry : items) {
        for (const CHealthInfo& item : entry.second) {
            visit(item);
        }
    }
}
