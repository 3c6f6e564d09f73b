#pragma once

#include <cstdint>
#include <string>

// Reads a settings value: optional blanks, an optional sign and decimal digits,
// optional blanks, nothing else, within the signed 32-bit range. Anything else
// (empty, hexadecimal, trailing words, too large) is not a value: false.
bool ParseIniInteger(const std::wstring& text, int32_t& value);

// The text that ParseIniInteger reads back as `value`.
std::wstring FormatIniInteger(int32_t value);
