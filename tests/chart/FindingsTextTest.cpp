#include "chart/FindingsText.h"

#include "analysis/FindingKind.h"
#include "chart/RecordTemplate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Tooth {
    uint32_t key;
    uint32_t mask;
};

ToothInfoMap Teeth(const std::vector<Tooth>& teeth)
{
    ToothInfoMap map;
    for (const Tooth& tooth : teeth) {
        map[tooth.key].toothNumber = static_cast<int32_t>(tooth.key % 256);
        map[tooth.key].findingMask = tooth.mask;
    }
    return map;
}

CRecordTemplateInfo Template(const wchar_t* body, const wchar_t* prefix = L"(", const wchar_t* postfix = L")",
                             const wchar_t* none = L"-")
{
    CRecordTemplateInfo info;
    info.body = body;
    info.periSevere = L"SEVERE";
    info.periModerate = L"MODERATE";
    info.periMild = L"MILD";
    info.none = none;
    info.prefix = prefix;
    info.postfix = postfix;
    return info;
}

constexpr wchar_t ALL_PLACEHOLDERS[] =
    L"p[%ppp%] b[%bbb%] c[%ccc%] a[%aaa%] i[%iii%] m[%mmm%] j[%jjj%] r[%rrr%] e[%eee%] f[%fff%] t[%ttt%]";

TEST(FindingsText, PlaceholderIsChosenByTheCodesFirstCharacterOnly)
{
    const struct {
        const char* code;
        const wchar_t* placeholder;
    } cases[] = {
        {"a", L"[%aaa%]"}, {"b", L"[%bbb%]"},  {"c", L"[%ccc%]"}, {"e", L"[%eee%]"}, {"f", L"[%fff%]"},
        {"i", L"[%iii%]"}, {"j", L"[%jjj%]"},  {"m", L"[%mmm%]"}, {"p", L"[%ppp%]"}, {"r", L"[%rrr%]"},
        {"t", L"[%ttt%]"}, {"bx", L"[%bbb%]"}, {"?", L""},        {"0", L""},        {"B", L""},
        {"", L""},         {"z", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetFindingPlaceholder(c.code), c.placeholder) << c.code;
    }
    EXPECT_EQ(GetFindingPlaceholder(nullptr), L"");
}

TEST(FindingsText, WorkedExamples)
{
    const struct {
        const char* name;
        std::vector<Tooth> teeth;
        CRecordTemplateInfo recordTemplate;
        bool withMarker;
        std::wstring text;
    } cases[] = {
        {"crown and bridge on 11 and 21",
         {{21, FINDING_CROWN_BRIDGE}, {11, FINDING_CROWN_BRIDGE}},
         Template(L"A[%bbb%]B"),
         false,
         L"A(11,21)B"},
        {"no tooth with the kind gives none", {{11, FINDING_CAVITY}}, Template(L"A[%bbb%]B"), false, L"A-B"},
        {"empty prefix and postfix",
         {{36, FINDING_CAVITY}, {47, FINDING_CAVITY}},
         Template(L"[%ccc%]", L"", L""),
         false,
         L"36,47"},
        {"an empty chart: none everywhere, the mild text for periodontitis",
         {},
         Template(ALL_PLACEHOLDERS),
         false,
         L"pMILD b- c- a- i- m- j- r- e- f- t-"},
        {"every kind listed under its own placeholder",
         {{11, FINDING_CROWN_BRIDGE},
          {12, FINDING_CAVITY},
          {13, FINDING_APICAL_LESION},
          {18, FINDING_IMPACTION},
          {21, FINDING_MISSING},
          {22, FINDING_IMPLANT},
          {23, FINDING_RR},
          {24, FINDING_ENDODONTIC},
          {25, FINDING_FILLING},
          {26, FINDING_POST | FINDING_FILLING}},
         Template(ALL_PLACEHOLDERS),
         false,
         L"pMILD b(11) c(12) a(13) i(18) m(21) j(22) r(23) e(24) f(25,26) t(26)"},
        {"a placeholder written twice is replaced at both places; upper case is not a placeholder",
         {{11, FINDING_CROWN_BRIDGE}},
         Template(L"[%bbb%]/[%BBB%]/[%bbb%]"),
         false,
         L"(11)/[%BBB%]/(11)"},
        {"unknown findings never appear; a tooth with only unknown is in no list",
         {{11, FINDING_UNKNOWN}, {12, FINDING_UNKNOWN | FINDING_CAVITY}},
         Template(L"[%ccc%][%bbb%]"),
         false,
         L"(12)-"},
        {"healthy alone contributes nothing; healthy with a kind is listed under the kind",
         {{11, FINDING_HEALTHY}, {12, FINDING_HEALTHY | FINDING_CAVITY}},
         Template(L"[%ccc%]"),
         false,
         L"(12)"},
        {"the marker follows the last character", {}, Template(L"x\r\n"), true, L"x\r\n[%BRISVANE_ANALYSIS%]"},
        {"the marker alone for an empty body", {}, Template(L""), true, L"[%BRISVANE_ANALYSIS%]"},
        {"an empty body without the marker stays empty", {{11, FINDING_CAVITY}}, Template(L""), false, L""},
        {"the marker inside the body is not a placeholder",
         {},
         Template(L"[%BRISVANE_ANALYSIS%]"),
         false,
         L"[%BRISVANE_ANALYSIS%]"},
        {"a later kind's placeholder brought in by a prefix is replaced",
         {{11, FINDING_CROWN_BRIDGE}, {36, FINDING_CAVITY}},
         Template(L"[%bbb%]", L"<[%ccc%]>", L""),
         false,
         L"<<[%ccc%]>36>11"},
        {"an earlier kind's placeholder brought in by a prefix stays",
         {{11, FINDING_CROWN_BRIDGE}},
         Template(L"[%bbb%]", L"[%ppp%]", L""),
         false,
         L"[%ppp%]11"},
        {"a replacement holding its own placeholder is not searched again",
         {},
         Template(L"[%bbb%][%bbb%]", L"(", L")", L"[%bbb%]"),
         false,
         L"[%bbb%][%bbb%]"},
        {"teeth of several images in key order",
         {{ToothKey(1, 11), FINDING_CAVITY}, {ToothKey(0, 48), FINDING_CAVITY}},
         Template(L"[%ccc%]"),
         false,
         L"(48,11)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildFindingsText(Teeth(c.teeth), c.recordTemplate, c.withMarker), c.text) << c.name;
    }
}

TEST(FindingsText, PeriodontitisTextFollowsTheNumberOfTeeth)
{
    const struct {
        int teeth;
        const wchar_t* text;
    } cases[] = {
        {0, L"MILD"},     {1, L"MILD"},   {3, L"MILD"},   {4, L"MODERATE"},
        {5, L"MODERATE"}, {6, L"SEVERE"}, {7, L"SEVERE"}, {32, L"SEVERE"},
    };
    for (const auto& c : cases) {
        std::vector<Tooth> teeth;
        for (int i = 0; i < c.teeth; ++i) {
            teeth.push_back({static_cast<uint32_t>(11 + i), FINDING_PERIO});
        }
        // Periodontitis never lists numbers and never falls back to `none`.
        EXPECT_EQ(BuildFindingsText(Teeth(teeth), Template(L"[%ppp%]"), false), c.text) << c.teeth;
    }
}

TEST(FindingsText, ToothNumberLongerThanFourCharactersIsCut)
{
    ToothInfoMap teeth;
    teeth[1].toothNumber = 123456;
    teeth[1].findingMask = FINDING_CAVITY;
    teeth[2].toothNumber = -12345;
    teeth[2].findingMask = FINDING_CAVITY;
    EXPECT_EQ(BuildFindingsText(teeth, Template(L"[%ccc%]"), false), L"(1234,-123)");
}

TEST(FindingsText, EveryShippedTemplateFillsEveryPlaceholder)
{
    const ToothInfoMap charts[] = {
        {},
        Teeth({{11, FINDING_CROWN_BRIDGE | FINDING_PERIO},
               {36, FINDING_CAVITY | FINDING_FILLING},
               {48, FINDING_IMPACTION}}),
    };
    for (const char* name : {"User.tpl", "Default_01.tpl", "Default_02.tpl", "Default_03.tpl"}) {
        const std::string path = std::string(QUILL_RECORD_DATA) + "/" + name;
        CRecordTemplateInfo recordTemplate;
        ASSERT_TRUE(LoadRecordTemplate(path.c_str(), &recordTemplate)) << path;
        for (const TemplateSection& section : TemplateSections) {
            if (section.field != &CRecordTemplateInfo::postfix) {
                EXPECT_FALSE((recordTemplate.*section.field).empty()) << name << " " << section.beginMarker[2];
            }
        }
        for (const ToothInfoMap& teeth : charts) {
            const std::wstring text = BuildFindingsText(teeth, recordTemplate, false);
            EXPECT_EQ(text.find(L"[%"), std::wstring::npos) << name;
        }
        for (const char* code : {"p", "b", "c", "a", "i", "m", "j", "r", "e", "f", "t"}) {
            EXPECT_NE(recordTemplate.body.find(GetFindingPlaceholder(code)), std::wstring::npos) << name << " " << code;
        }
    }
}

} // namespace
