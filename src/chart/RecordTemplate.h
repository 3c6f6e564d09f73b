// The record template file: seven sections of UTF-8 text, each between its
// begin and end marker, written in a fixed order and read in any order.
// Portable: the editor dialog and the findings text share it.
#pragma once

#include "chart/RecordTemplateInfo.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

constexpr size_t TEMPLATE_SECTION_COUNT = 7;

struct TemplateSection {
    const wchar_t* beginMarker;
    const wchar_t* endMarker;
    std::wstring CRecordTemplateInfo::*field;
};

// In the order the sections are written: body, the three periodontitis
// texts from severe to mild, none, prefix, postfix.
extern const TemplateSection TemplateSections[TEMPLATE_SECTION_COUNT];

// The user's template and the presets the editor offers, relative to the
// working directory.
constexpr char USER_TEMPLATE_PATH[] = "Record\\User.tpl";
constexpr char PRESET_TEMPLATE_PATHS[][24] = {
    "Record\\Default_01.tpl",
    "Record\\Default_02.tpl",
    "Record\\Default_03.tpl",
};

// Each section's text in the order of TemplateSections, or nothing where the
// section is absent: only the first begin marker and the first end marker of
// a section count, each searched in the whole text, and the end must come
// after the begin.
using TemplateSectionTexts = std::array<std::optional<std::wstring>, TEMPLATE_SECTION_COUNT>;
TemplateSectionTexts FindTemplateSections(const std::wstring& text);

// `info` := the sections of `text`; an absent one is empty.
void ParseTemplate(const std::wstring& text, CRecordTemplateInfo* info);

// The file text: every section's markers around its text, each followed by
// CR LF. Nothing is escaped or trimmed.
std::wstring BuildTemplateText(const CRecordTemplateInfo& info);

// Reads the template file at `path`. False, with `info` untouched, when the
// file cannot be read; a file without some markers still counts as read.
bool LoadRecordTemplate(const char* path, CRecordTemplateInfo* info);

// LoadRecordTemplate of the user's template.
bool LoadUserTemplate(CRecordTemplateInfo* info);

// Writes the template to `path` through a temporary file beside it, which
// replaces the file only once it is completely written: a failed write
// leaves the previous file as it was. False when anything failed.
bool SaveRecordTemplate(const char* path, const CRecordTemplateInfo& info);
