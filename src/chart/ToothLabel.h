// The number drawn at a tooth's box. Portable.
#pragma once

#include <cstdint>
#include <string>

// The number as "%2d" gives it, cut to two characters: 8 gives " 8", 123
// gives "12".
std::wstring ToothLabel(int32_t toothNumber);
