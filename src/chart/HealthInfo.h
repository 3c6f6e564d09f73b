// One item of the health-education catalogue: a page folder whose template
// is filled for the tooth under the mouse, or a target the shell opens.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t HEALTH_PAGE_ITEM = 0;
constexpr int32_t HEALTH_SHELL_ITEM = 1;

class CHealthInfo {
public:
    CHealthInfo() = default;
    CHealthInfo(const CHealthInfo&) = default;
    CHealthInfo& operator=(const CHealthInfo&) = default;
    virtual ~CHealthInfo() = default;

    std::wstring title;    // the menu text as written
    std::string path;      // UTF-8; a page folder ends with a backslash
    std::string codes;     // UTF-8 finding codes; the first byte files the item
    int32_t commandId = 0; // 0 until numbered
    int32_t kind = HEALTH_PAGE_ITEM;
    uint32_t findingMask = 0;
};
