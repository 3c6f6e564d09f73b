#include "chart/FindingsText.h"

#include "analysis/FindingKind.h"
#include "analysis/ToothInfoLoader.h"

#include <vector>

namespace {

constexpr size_t SEVERE_PERIO_TEETH = 6;
constexpr size_t MODERATE_PERIO_TEETH = 4;
// A tooth number longer than this is cut, as a fixed-width field would.
constexpr size_t TOOTH_NUMBER_WIDTH = 4;
constexpr wchar_t TOOTH_SEPARATOR[] = L",";

std::wstring Widen(const char* ascii)
{
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::wstring PlaceholderOf(uint32_t kind)
{
    const FindingKindInfo* info = FindFindingKind(kind);
    if (info == nullptr || info->placeholder == nullptr) {
        return std::wstring();
    }
    return Widen(info->placeholder);
}

const std::wstring& PerioText(size_t teeth, const CRecordTemplateInfo& recordTemplate)
{
    if (teeth >= SEVERE_PERIO_TEETH) {
        return recordTemplate.periSevere;
    }
    if (teeth >= MODERATE_PERIO_TEETH) {
        return recordTemplate.periModerate;
    }
    return recordTemplate.periMild;
}

std::wstring ToothList(const std::vector<int>& teeth, const CRecordTemplateInfo& recordTemplate)
{
    if (teeth.empty()) {
        return recordTemplate.none;
    }
    std::wstring list = recordTemplate.prefix;
    for (size_t i = 0; i < teeth.size(); ++i) {
        if (i > 0) {
            list += TOOTH_SEPARATOR;
        }
        list += std::to_wstring(teeth[i]).substr(0, TOOTH_NUMBER_WIDTH);
    }
    list += recordTemplate.postfix;
    return list;
}

// Every occurrence, left to right and without overlap; what is put in is not
// searched again.
void ReplaceAll(std::wstring& text, const std::wstring& placeholder, const std::wstring& replacement)
{
    size_t at = text.find(placeholder);
    while (at != std::wstring::npos) {
        text.replace(at, placeholder.size(), replacement);
        at = text.find(placeholder, at + replacement.size());
    }
}

} // namespace

std::wstring GetFindingPlaceholder(const char* code)
{
    if (code == nullptr || code[0] == '\0') {
        return std::wstring();
    }
    for (const FindingCodeRow& row : FindingCodeTable) {
        if (row.code[0] == code[0]) {
            return PlaceholderOf(row.bit);
        }
    }
    return std::wstring();
}

std::wstring BuildFindingsText(const ToothInfoMap& teeth, const CRecordTemplateInfo& recordTemplate, bool withMarker)
{
    FindingTeethMap byCode;
    FindingTeethMap others;
    GroupTeethForFindingsText(teeth, byCode, others);

    std::wstring text = recordTemplate.body;
    // The kinds are replaced one after another in code order, so a
    // placeholder inside a template text is replaced only when its kind
    // comes later.
    for (const auto& [kind, numbers] : byCode) {
        const std::wstring placeholder = PlaceholderOf(kind);
        if (placeholder.empty()) {
            continue;
        }
        const std::wstring replacement =
            kind == FINDING_PERIO ? PerioText(numbers.size(), recordTemplate) : ToothList(numbers, recordTemplate);
        ReplaceAll(text, placeholder, replacement);
    }
    if (withMarker) {
        text += ANALYSIS_MARKER;
    }
    return text;
}
