// Arbitrary bytes as a record template file's text: every section found lies
// inside the text, and a template whose texts hold no marker comes back
// unchanged from the text that saving it would write.
#include "chart/RecordTemplate.h"

#include "foundation/Utf8.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool HoldsAMarker(const std::wstring& text)
{
    for (const TemplateSection& section : TemplateSections) {
        if (text.find(section.beginMarker) != std::wstring::npos ||
            text.find(section.endMarker) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring text = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    const TemplateSectionTexts sections = FindTemplateSections(text);
    CRecordTemplateInfo info;
    ParseTemplate(text, &info);

    bool markerInside = false;
    for (size_t i = 0; i < TEMPLATE_SECTION_COUNT; ++i) {
        const std::wstring& field = info.*TemplateSections[i].field;
        if (field != sections[i].value_or(std::wstring()) ||
            (sections[i] && text.find(*sections[i]) == std::wstring::npos)) {
            abort();
        }
        markerInside = markerInside || HoldsAMarker(field);
    }

    CRecordTemplateInfo again;
    ParseTemplate(BuildTemplateText(info), &again);
    if (!markerInside) {
        for (const TemplateSection& section : TemplateSections) {
            if (again.*section.field != info.*section.field) {
                abort();
            }
        }
    }
    return 0;
}
