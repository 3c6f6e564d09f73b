#include "foundation/Utf8.h"

#include <cstdint>

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr char32_t MAX_CODE_POINT = 0x10FFFF;

bool IsHighSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Reads one character at `pos` and advances past it. An ill-formed sequence
// gives U+FFFD and advances past its longest well-formed prefix only (at least
// one byte), so the byte that broke it starts the next character.
char32_t DecodeOne(std::string_view bytes, size_t& pos)
{
    const uint8_t lead = static_cast<uint8_t>(bytes[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    size_t trailing = 0;
    char32_t value = 0;
    // Bounds of the second byte; they exclude overlong forms, surrogates and
    // values above U+10FFFF.
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return REPLACEMENT_CHARACTER;
    }
    for (size_t i = 0; i < trailing; ++i) {
        if (pos == bytes.size()) {
            return REPLACEMENT_CHARACTER;
        }
        const uint8_t b = static_cast<uint8_t>(bytes[pos]);
        if (i == 0 ? (b < low || b > high) : !IsContinuation(b)) {
            return REPLACEMENT_CHARACTER;
        }
        value = (value << 6) | (b & 0x3F);
        ++pos;
    }
    return value;
}

template <typename String> void AppendCodePoint(String& out, char32_t c)
{
    using Unit = typename String::value_type;
    if (sizeof(Unit) == 2 && c > 0xFFFF) {
        c -= 0x10000;
        out.push_back(static_cast<Unit>(0xD800 + (c >> 10)));
        out.push_back(static_cast<Unit>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<Unit>(c));
    }
}

template <typename String> String Decode(std::string_view bytes)
{
    String out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        AppendCodePoint(out, DecodeOne(bytes, pos));
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

template <typename Unit> std::string Encode(std::basic_string_view<Unit> text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > MAX_CODE_POINT) {
            c = REPLACEMENT_CHARACTER;
        }
        AppendUtf8(out, c);
    }
    return out;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view bytes)
{
    return Decode<std::u16string>(bytes);
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    return Encode(text);
}

std::wstring Utf8ToWide(std::string_view bytes)
{
    return Decode<std::wstring>(bytes);
}

std::string WideToUtf8(std::wstring_view text)
{
    return Encode(text);
}
