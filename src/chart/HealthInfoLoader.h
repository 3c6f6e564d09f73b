// The health-education catalogue, "Health\items.dsc": one item per line,
// "kind;codes;title;folder or target;" and anything after the fourth ";"
// ignored. Items are filed by the first byte of their codes, read as a
// signed character, so catalogue order is that byte ascending (bytes from
// 0x80 before ASCII), then file order.
#pragma once

#include "chart/HealthInfo.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CHealthInfoLoader {
public:
    CHealthInfoLoader() = default;
    CHealthInfoLoader(const CHealthInfoLoader&) = default;
    CHealthInfoLoader& operator=(const CHealthInfoLoader&) = default;
    virtual ~CHealthInfoLoader() = default;

    // Empties the catalogue and reads the UTF-8 file at `path` (a narrow
    // path). False, with the catalogue empty, only when the file cannot be
    // read; a file without a usable line is read successfully.
    bool Load(const std::string& path);
    // Empties the catalogue and files every usable line of `text`.
    void Parse(const std::wstring& text);

    bool Empty() const { return items.empty(); }
    size_t Count() const;

    // Gives the items, in catalogue order, the commands from `first` on; past
    // `last` they keep 0 and cannot be chosen.
    void NumberCommands(int32_t first, int32_t last);
    // The first item in catalogue order with this command, or null.
    const CHealthInfo* FindCommand(int32_t commandId) const;
    void ForEach(const std::function<void(const CHealthInfo&)>& visit) const;

    std::map<signed char, std::vector<CHealthInfo>> items;
};
