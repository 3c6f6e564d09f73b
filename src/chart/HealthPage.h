// The filled health-education page: the folder's "index.tpl" with the
// tooth's number in place of every "[%TOOTH_INFO%]".
#pragma once

#include <cstdint>
#include <string>

// Left to right, case-sensitive, non-overlapping; a template without the
// placeholder comes back unchanged.
std::wstring FillHealthPage(const std::wstring& pageTemplate, int32_t toothNumber);
