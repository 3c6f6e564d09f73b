// GUID text and whole-file reading and writing of bytes and UTF-8 text.
// Text file paths are narrow and go unchanged to the standard file streams.
#pragma once

#include "foundation/Portable.h"

#include <string>

// The 36-character upper-case GUID text with dashes and no braces, such as
// "00112233-4455-6677-8899-AABBCCDDEEFF". False only for a null GUID.
bool GuidToString(const GUID* guid, std::string* out);

// The file's bytes, without a leading UTF-8 byte-order mark and ending at the
// first zero byte. False, with out unchanged, when the file cannot be opened,
// sized, held in memory or read.
bool ReadWholeFile(const char* path, std::string* out);

// ReadWholeFile decoded as UTF-8 (see Utf8.h). False, with out unchanged, when
// the file cannot be read.
bool ReadUtf8File(const char* path, std::wstring* out);

// Creates or replaces the file with `text` up to its first zero character as
// UTF-8, without a byte-order mark. False when the file cannot be created or
// not every byte reached it.
bool WriteUtf8File(const char* path, const std::wstring& text);

#ifdef _WIN32
// The same with a wide path, for names outside the ANSI code page that the
// narrow paths above cannot reach.
bool ReadUtf8File(const wchar_t* path, std::wstring* out);
bool WriteUtf8File(const wchar_t* path, const std::wstring& text);
#endif
