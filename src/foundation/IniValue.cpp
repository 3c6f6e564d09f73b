#include "foundation/IniValue.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

} // namespace

bool ParseIniInteger(const std::wstring& text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    const size_t digitsStart = i;
    int64_t magnitude = 0;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit) {
            return false;
        }
        ++i;
    }
    if (i == digitsStart) {
        return false;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

std::wstring FormatIniInteger(int32_t value) { return std::to_wstring(value); }
