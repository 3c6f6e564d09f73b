// UTF-8 <-> UTF-16 conversion of our own, so that the host and the Windows
// builds turn the same bytes into the same text.
//
// Decoding replaces each maximal ill-formed subsequence (an overlong form, a
// truncated sequence, an encoded surrogate, a value above U+10FFFF, a stray
// continuation byte) with one U+FFFD. Encoding replaces a surrogate that is
// not part of a high-low pair with U+FFFD, since UTF-8 cannot hold it.
#pragma once

#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// The same over wide strings: UTF-16 where wchar_t has 16 bits (Windows),
// one code point per character where it has 32. Surrogate pairs in a 32-bit
// wide string are still joined, so both builds encode the same units alike.
std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf8(std::wstring_view text);
