#include "chart/RecordTemplate.h"

#include "foundation/Portable.h"
#include "foundation/TextFile.h"

#include <cstdio>

const TemplateSection TemplateSections[TEMPLATE_SECTION_COUNT] = {
    {L"[%BODY_BGN%]", L"[%BODY_END%]", &CRecordTemplateInfo::body},
    {L"[%PERI_SRS_BGN%]", L"[%PERI_SRS_END%]", &CRecordTemplateInfo::periSevere},
    {L"[%PERI_MOD_BGN%]", L"[%PERI_MOD_END%]", &CRecordTemplateInfo::periModerate},
    {L"[%PERI_MILD_BGN%]", L"[%PERI_MILD_END%]", &CRecordTemplateInfo::periMild},
    {L"[%NONE_BGN%]", L"[%NONE_END%]", &CRecordTemplateInfo::none},
    {L"[%PREFIX_BGN%]", L"[%PREFIX_END%]", &CRecordTemplateInfo::prefix},
    {L"[%POSTFIX_BGN%]", L"[%POSTFIX_END%]", &CRecordTemplateInfo::postfix},
};

namespace {

constexpr wchar_t SECTION_END[] = L"\r\n";
constexpr char TEMPORARY_SUFFIX[] = ".tmp";

// Moves `from` over `to`, replacing it as one step where the system allows.
bool ReplaceFileWith(const char* from, const char* to)
{
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
#else
    return std::rename(from, to) == 0;
#endif
}

} // namespace

TemplateSectionTexts FindTemplateSections(const std::wstring& text)
{
    TemplateSectionTexts sections;
    for (size_t i = 0; i < TEMPLATE_SECTION_COUNT; ++i) {
        const std::wstring beginMarker = TemplateSections[i].beginMarker;
        const size_t begin = text.find(beginMarker);
        const size_t end = text.find(TemplateSections[i].endMarker);
        if (begin != std::wstring::npos && end != std::wstring::npos && end > begin) {
            // No marker can overlap another: each holds its only '[' at its start.
            const size_t start = begin + beginMarker.size();
            sections[i] = text.substr(start, end - start);
        }
    }
    return sections;
}

void ParseTemplate(const std::wstring& text, CRecordTemplateInfo* info)
{
    if (info == nullptr) {
        return;
    }
    const TemplateSectionTexts sections = FindTemplateSections(text);
    for (size_t i = 0; i < TEMPLATE_SECTION_COUNT; ++i) {
        info->*TemplateSections[i].field = sections[i].value_or(std::wstring());
    }
}

std::wstring BuildTemplateText(const CRecordTemplateInfo& info)
{
    std::wstring text;
    for (const TemplateSection& section : TemplateSections) {
        text += section.beginMarker;
        text += info.*section.field;
        text += section.endMarker;
        text += SECTION_END;
    }
    return text;
}

bool LoadRecordTemplate(const char* path, CRecordTemplateInfo* info)
{
    std::wstring text;
    if (!ReadUtf8File(path, &text)) {
        return false;
    }
    ParseTemplate(text, info);
    return true;
}

bool LoadUserTemplate(CRecordTemplateInfo* info)
{
    return LoadRecordTemplate(USER_TEMPLATE_PATH, info);
}

bool SaveRecordTemplate(const char* path, const CRecordTemplateInfo& info)
{
    if (path == nullptr) {
        return false;
    }
    const std::string temporary = std::string(path) + TEMPORARY_SUFFIX;
    if (!WriteUtf8File(temporary.c_str(), BuildTemplateText(info))) {
        std::remove(temporary.c_str());
        return false;
    }
    if (!ReplaceFileWith(temporary.c_str(), path)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
