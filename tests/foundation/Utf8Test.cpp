#include "foundation/Utf8.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
        text += ' ';
    }
    return text;
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string text;
};

TEST(Utf8, DecodesWellFormedTextAndReplacesEachIllFormedSubsequenceOnce)
{
    const DecodeCase cases[] = {
        {"empty", "", u""},
        {"ascii", "Tooth 18", u"Tooth 18"},
        {"two bytes", "\xC3\xA9", u"\u00E9"},
        {"three bytes", "\xE7\x89\x99\xE9\xBD\x92", u"\u7259\u9F52"},
        {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"stray continuation", "a\x80z", u"a\uFFFDz"},
        {"invalid lead bytes", "\xC0\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at end", "ab\xE7\x89", u"ab\uFFFD"},
        {"truncated four bytes at end", "\xF0\x9F\x98", u"\uFFFD"},
        {"truncated before ascii", "\xE7\x89z", u"\uFFFDz"},
        {"truncated before a new lead", "\xE7\xC3\xA9", u"\uFFFD\u00E9"},
        {"high surrogate encoded", "\xED\xA0\xBD", u"\uFFFD\uFFFD\uFFFD"},
        {"low surrogate encoded", "\xED\xB8\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above the largest code point", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"nul kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.name;
    }
}

struct EncodeCase {
    const char* name;
    std::u16string text;
    std::string bytes;
};

TEST(Utf8, EncodesUtf16AndReplacesLoneSurrogates)
{
    const EncodeCase cases[] = {
        {"empty", u"", ""},
        {"mixed widths", u"A\u00E9\u7259\U0001F600", "A\xC3\xA9\xE7\x89\x99\xF0\x9F\x98\x80"},
        {"last of each width", u"\u007F\u07FF\uFFFF\U0010FFFF", "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
        {"lone high surrogate at end", u"a\xD83D", "a\xEF\xBF\xBD"},
        {"lone low surrogate", u"\xDE00z", "\xEF\xBF\xBDz"},
        {"pair in the wrong order", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"high surrogate before a letter", u"\xD83Dz", "\xEF\xBF\xBDz"},
        {"two high surrogates then a low", u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(Utf16ToUtf8(c.text)), Hex(c.bytes)) << c.name;
    }
}

TEST(Utf8, WellFormedTextSurvivesTheRoundTrip)
{
    const std::u16string texts[] = {u"", u"plain", u"\u6AA2\u8996\u7D50\u679C", u"\U0001F9B7 tooth\r\n\t",
                                    u"\U00010000\U0010FFFF\uFFFD"};
    for (const auto& text : texts) {
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    }
}

// Wide strings are UTF-16 on Windows and code points on the host; both builds
// must still give and take the same bytes.
TEST(Utf8, WideStringsAgreeWithTheirPlatformsLiteralsInBothBuilds)
{
    const std::string bytes = "\xE6\xAA\xA2\xF0\x9F\x98\x80!";
    EXPECT_EQ(Utf8ToWide(bytes), L"\u6AA2\U0001F600!");
    EXPECT_EQ(Hex(WideToUtf8(L"\u6AA2\U0001F600!")), Hex(bytes));

    // The same surrogate units give the same bytes whatever the width.
    const std::wstring units = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00),
                                static_cast<wchar_t>(0xD800), L'x'};
    EXPECT_EQ(Hex(WideToUtf8(units)), Hex("\xF0\x9F\x98\x80\xEF\xBF\xBDx"));
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
}

} // namespace
