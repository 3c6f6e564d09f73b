#include "chart/HealthPage.h"

namespace {

constexpr std::wstring_view TOOTH_PLACEHOLDER = L"[%TOOTH_INFO%]";

} // namespace

std::wstring FillHealthPage(const std::wstring& pageTemplate, int32_t toothNumber)
{
    const std::wstring number = std::to_wstring(toothNumber);
    std::wstring page;
    page.reserve(pageTemplate.size());
    size_t from = 0;
    for (size_t found = pageTemplate.find(TOOTH_PLACEHOLDER); found != std::wstring::npos;
         found = pageTemplate.find(TOOTH_PLACEHOLDER, from)) {
        page.append(pageTemplate, from, found - from);
        page += number;
        from = found + TOOTH_PLACEHOLDER.size();
    }
    page.append(pageTemplate, from, std::wstring::npos);
    return page;
}
