// The name of a temporary file: the temporary folder, the GUID text and an
// extension, in one buffer of TEMP_PATH_CAPACITY characters with its zero.
#pragma once

#include "foundation/Portable.h"

#include <cstddef>
#include <string_view>

constexpr size_t TEMP_PATH_CAPACITY = 260;

// Writes folder + GUID text + extension with its terminating zero into `out`
// (TEMP_PATH_CAPACITY characters). False, with out unchanged, when the folder
// is empty, an argument is null or the whole path does not fit: with a
// four-character extension the folder may have at most 219 characters.
bool ComposeTempFilePath(std::wstring_view folder, const GUID* guid, const wchar_t* extension, wchar_t* out);
