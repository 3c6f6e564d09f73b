// The findings text: the body of a record template with each finding kind's
// placeholder replaced by the teeth that carry the kind, framed by the
// template's prefix and postfix, or by its text for a kind without teeth;
// periodontitis by one of three severity texts. Portable.
#pragma once

#include "analysis/ToothInfo.h"
#include "chart/RecordTemplateInfo.h"

#include <string>

// Appended to the text when the setting asks for it, so that the receiving
// record program knows the text came from an analysis.
constexpr wchar_t ANALYSIS_MARKER[] = L"[%BRISVANE_ANALYSIS%]";

// The placeholder of the kind whose code starts `code` (only its first
// character counts); empty for a kind without one, an unknown code or null.
std::wstring GetFindingPlaceholder(const char* code);

// The text of `teeth` (keyed by tooth number or by image and tooth) after
// `recordTemplate`, with the marker at its end when `withMarker`.
std::wstring BuildFindingsText(const ToothInfoMap& teeth, const CRecordTemplateInfo& recordTemplate, bool withMarker);
