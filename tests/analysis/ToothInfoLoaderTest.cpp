#include "analysis/ToothInfoLoader.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

namespace {

using Masks = std::map<uint32_t, uint32_t>;

void Read(ToothInfoMap& teeth, LoaderMode mode, bool onlyExisting, const char* text)
{
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    loader.loaderMode = mode;
    loader.onlyExisting = onlyExisting;
    EXPECT_TRUE(loader.ParseText(text));
}

Masks MasksOf(const ToothInfoMap& teeth)
{
    Masks masks;
    for (const auto& entry : teeth) {
        masks[entry.first] = entry.second.findingMask;
    }
    return masks;
}

// Keys are tooth numbers, or ToothKey values for teeth of several images.
ToothInfoMap WithMasks(const Masks& masks)
{
    ToothInfoMap teeth;
    for (const auto& entry : masks) {
        teeth[entry.first].toothNumber = static_cast<int32_t>(entry.first % 256);
        teeth[entry.first].findingMask = entry.second;
    }
    return teeth;
}

void ExpectBox(const CToothInfo& record, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    EXPECT_EQ(record.imageBox.left, left);
    EXPECT_EQ(record.imageBox.top, top);
    EXPECT_EQ(record.imageBox.right, right);
    EXPECT_EQ(record.imageBox.bottom, bottom);
}

TEST(ToothInfoLoader, OnlyTheFindingsByCodeModeSplitsAtTheEqualsSign)
{
    CToothInfoLoader loader;
    EXPECT_STREQ(loader.GetDelimiters(), ",");
    loader.loaderMode = FINDINGS_BY_TOOTH;
    EXPECT_STREQ(loader.GetDelimiters(), ",");
    loader.loaderMode = FINDINGS_BY_CODE;
    EXPECT_STREQ(loader.GetDelimiters(), ",=");
}

TEST(ToothInfoLoader, ToothBoxesGiveFreshRecordsWithCentredBoxes)
{
    ToothInfoMap teeth = WithMasks({{18, 10}});
    teeth[18].screenBox = {1, 1, 2, 2};
    teeth[18].flags = TOOTH_HOVER;
    Read(teeth, TOOTH_BOXES, true,
         "520,610,80,120,18\n100,100,15,9,11\n100,100,-1,9,12\n100,100,15,9\n"
         "100,100,15,-9,13\n1,2,3,4,14,extra\n");
    ASSERT_EQ(MasksOf(teeth), (Masks{{11, 1}, {14, 1}, {18, 1}}));
    ExpectBox(teeth[18], 480, 550, 560, 670);
    ExpectBox(teeth[11], 93, 96, 108, 105);
    ExpectBox(teeth[14], 0, 0, 3, 4);
    EXPECT_EQ(teeth[18].toothNumber, 18);
    EXPECT_EQ(teeth[18].flags, 0u);
    EXPECT_EQ(teeth[18].screenBox.right, 0);
}

TEST(ToothInfoLoader, FindingsByToothCreatingTeeth)
{
    const struct {
        const char* line;
        uint32_t key;
        uint32_t mask;
    } cases[] = {
        {"1,b", 1, 2},
        {"18,mb", 18, 10},
        {"18,0", 18, 1},
        {"18,x", 18, 1},
        {"18,\r", 18, 1},
        {"18, ", 18, 0},
        {"18,", 18, 1},
        {"18", 18, 1},
        {",b", 0, 2},
        {"11,b\r", 11, 2},
        {"11\r,b", 11, 2},
        {" +7 ,c", 7, 64},
        {"\t-3,c", static_cast<uint32_t>(-3), 64},
    };
    for (const auto& c : cases) {
        ToothInfoMap teeth;
        Read(teeth, FINDINGS_BY_TOOTH, false, c.line);
        EXPECT_EQ(MasksOf(teeth), (Masks{{c.key, c.mask}})) << "'" << c.line << "'";
        EXPECT_EQ(teeth[c.key].toothNumber, static_cast<int32_t>(c.key)) << "'" << c.line << "'";
    }
}

TEST(ToothInfoLoader, FindingsByToothOnlyForExistingTeethReplaceTheirMasks)
{
    ToothInfoMap teeth = WithMasks({{18, 2}});
    Read(teeth, FINDINGS_BY_TOOTH, true, "1,b\n18,m\n");
    EXPECT_EQ(MasksOf(teeth), (Masks{{18, 8}}));
}

TEST(ToothInfoLoader, FindingsByCodeMergeIntoTheTeeth)
{
    ToothInfoMap teeth;
    Read(teeth, FINDINGS_BY_CODE, false, "b=11,12\nm=11\n0=12\nc=13\n");
    EXPECT_EQ(MasksOf(teeth), (Masks{{11, 10}, {12, 3}, {13, 64}}));
    EXPECT_EQ(teeth[13].toothNumber, 13);

    ToothInfoMap healthy = WithMasks({{11, 1}, {12, 2}});
    Read(healthy, FINDINGS_BY_CODE, false, "=11,12\nm=\n");
    EXPECT_EQ(MasksOf(healthy), (Masks{{11, 0}, {12, 2}}));

    ToothInfoMap gap;
    Read(gap, FINDINGS_BY_CODE, false, "m=18,,28\nbm=36\n");
    EXPECT_EQ(MasksOf(gap), (Masks{{0, 8}, {18, 8}, {28, 8}, {36, 10}}));

    ToothInfoMap existing = WithMasks({{11, 1}});
    Read(existing, FINDINGS_BY_CODE, true, "p=11,12\n");
    EXPECT_EQ(MasksOf(existing), (Masks{{11, 16}}));
}

TEST(ToothInfoLoader, HeaderRowAndUnknownModesAndNoMapReadNothing)
{
    ToothInfoMap teeth;
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    loader.loaderMode = FINDINGS_BY_TOOTH;
    loader.onlyExisting = false;
    loader.headerRow = 1;
    loader.ParseText("11,b\n12,c\n13,m\n");
    EXPECT_EQ(MasksOf(teeth), (Masks{{13, 8}}));

    loader.headerRow = -1;
    loader.loaderMode = static_cast<LoaderMode>(3);
    loader.ParseText("14,b\n");
    loader.teethMap = nullptr;
    loader.loaderMode = FINDINGS_BY_TOOTH;
    loader.ParseText("15,b\n");
    EXPECT_EQ(MasksOf(teeth), (Masks{{13, 8}}));
}

// Numbers beyond 32 bits stop at the ends of the range instead of wrapping.
TEST(ToothInfoLoader, HugeNumbersSaturate)
{
    ToothInfoMap teeth;
    Read(teeth, FINDINGS_BY_TOOTH, false, "99999999999999999999,b\n-99999999999999999999,c\n2147483648,m\n");
    EXPECT_EQ(MasksOf(teeth), (Masks{{2147483647u, 8}, {2147483648u, 64}}));
    EXPECT_EQ(teeth[2147483647u].toothNumber, INT32_MAX);
    EXPECT_EQ(teeth[2147483648u].toothNumber, INT32_MIN);

    ToothInfoMap boxes;
    Read(boxes, TOOTH_BOXES, true, "-99999999999,99999999999,99999999999,99999999999,11\n");
    ExpectBox(boxes[11], INT32_MIN, INT32_MAX - INT32_MAX / 2, INT32_MIN + (INT32_MAX - INT32_MAX / 2), INT32_MAX);
}

TEST(ToothInfoLoader, WritersOfTheExampleMap)
{
    const ToothInfoMap teeth = WithMasks({{11, 2 | 64}, {18, 8}, {21, 1}, {36, 16 | 2}, {40, 0}});
    CToothInfoLoader loader;
    loader.constTeethMap = &teeth;
    loader.useConstTeethMap = true;
    const struct {
        unsigned filter;
        const char* byTooth;
        const char* byCode;
    } cases[] = {
        {FILTER_ALL_FINDINGS, "11,bc\n18,m\n36,bp\n", "p=36\nb=11,36\nc=11\nm=18\n"},
        {8, "18,m\n", "m=18\n"},
        {1, "", ""},
    };
    for (const auto& c : cases) {
        std::string text = "stale";
        EXPECT_TRUE(loader.FormatToothFindings(c.filter, text));
        EXPECT_EQ(text, c.byTooth) << c.filter;
        text = "stale";
        EXPECT_TRUE(loader.FormatFindingTeeth(c.filter, text));
        EXPECT_EQ(text, c.byCode) << c.filter;
    }
}

TEST(ToothInfoLoader, WritersUseTheToothNumberAndCutItToThreeCharacters)
{
    ToothInfoMap teeth = WithMasks({{ToothKey(0, 18), 8}, {ToothKey(1, 18), 4104}});
    teeth[900].toothNumber = 1234;
    teeth[900].findingMask = 8;
    teeth[901].toothNumber = -1234;
    teeth[901].findingMask = 4096;
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    std::string text;
    EXPECT_TRUE(loader.FormatToothFindings(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "18,m\n18,m?\n1234,m\n-1234,?\n");
    EXPECT_TRUE(loader.FormatFindingTeeth(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "m=18,18,123\n?=18,-12\n");
}

TEST(ToothInfoLoader, WritersWithoutAMapFailAndWithAnEmptyOneSucceed)
{
    const ToothInfoMap empty;
    CToothInfoLoader loader;
    std::string text = "stale";
    FindingTeethMap byCode{{FINDING_MISSING, {18}}};
    FindingTeethMap others = byCode;
    EXPECT_FALSE(loader.FormatToothFindings(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "");
    text = "stale";
    EXPECT_FALSE(loader.FormatFindingTeeth(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(loader.GroupTeethByFinding(FILTER_ALL_FINDINGS, byCode, &others));
    EXPECT_TRUE(byCode.empty());
    EXPECT_TRUE(others.empty());

    // The read-only attachment is not consulted unless chosen.
    loader.constTeethMap = &empty;
    EXPECT_FALSE(loader.FormatToothFindings(FILTER_ALL_FINDINGS, text));
    loader.useConstTeethMap = true;
    text = "stale";
    EXPECT_TRUE(loader.FormatToothFindings(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(loader.FormatFindingTeeth(FILTER_ALL_FINDINGS, text));
    EXPECT_EQ(text, "");
}

std::string Letters(const FindingTeethMap& groups)
{
    std::string letters;
    for (const auto& entry : groups) {
        letters += FindingCode(entry.first);
        letters += entry.second.empty() ? "" : "*";
    }
    return letters;
}

TEST(ToothInfoLoader, GroupTeethByFindingGivesEveryFilteredKindAnEntry)
{
    const ToothInfoMap none;
    CToothInfoLoader loader;
    loader.constTeethMap = &none;
    loader.useConstTeethMap = true;
    FindingTeethMap byCode;
    FindingTeethMap others;
    EXPECT_TRUE(loader.GroupTeethByFinding(FILTER_ALL_FINDINGS, byCode, &others));
    EXPECT_EQ(Letters(byCode), "pbcaimjreft");
    EXPECT_TRUE(others.empty());

    EXPECT_TRUE(loader.GroupTeethByFinding(2, byCode, &others));
    EXPECT_EQ(Letters(byCode), "b");
    EXPECT_EQ(Letters(others), "pcaimjreft");

    const ToothInfoMap teeth = WithMasks({{11, 2 | 4096}, {12, 1}, {13, 0}, {ToothKey(1, 11), 2 | 16}});
    loader.constTeethMap = &teeth;
    EXPECT_TRUE(loader.GroupTeethByFinding(FILTER_ALL_FINDINGS, byCode, nullptr));
    EXPECT_EQ(Letters(byCode), "p*b*caimjreft?*");
    EXPECT_EQ(byCode[FINDING_CROWN_BRIDGE], (std::vector<int>{11, 11}));
    EXPECT_EQ(byCode[FINDING_UNKNOWN], (std::vector<int>{11}));
}

TEST(ToothInfoLoader, RemoveMissingWisdomTeeth)
{
    // Every wisdom tooth and every neighbour of one, each Missing.
    const Masks before{{17, 8},  {18, 8}, {19, 8},      {27, 8}, {28, 9}, {37, 8},
                       {38, 10}, {41, 8}, {47, 8 | 64}, {48, 8}, {49, 8}, {58, 8}};
    ToothInfoMap teeth = WithMasks(before);
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    loader.useConstTeethMap = true;
    loader.RemoveMissingWisdomTeeth();
    EXPECT_EQ(MasksOf(teeth), before) << "not over a read-only attachment";

    loader.useConstTeethMap = false;
    loader.RemoveMissingWisdomTeeth();
    EXPECT_EQ(MasksOf(teeth),
              (Masks{{17, 8}, {19, 8}, {27, 8}, {37, 8}, {38, 2}, {41, 8}, {47, 8 | 64}, {49, 8}, {58, 8}}));

    ToothInfoMap healthyLeft = WithMasks({{28, 8 | 1 | 64}});
    loader.teethMap = &healthyLeft;
    loader.RemoveMissingWisdomTeeth();
    EXPECT_EQ(MasksOf(healthyLeft), (Masks{{28, 65}}));
}

// The chart reads a reply into its map; the service regroups its findings of
// every tooth. A reply that tells of no tooth fails on both roads; findings
// without a readable box fail only on the chart, which cannot show them.
TEST(ToothInfoLoader, AReplyCountsOnlyWhatItTellsOfFdiTeeth)
{
    const char boxes[] = "100,100,10,10,11\n200,100,10,10,18\n300,100,10,10,21\n";
    const char* const failed = nullptr;
    const struct {
        const char* name;
        const char* boxes;
        const char* findings;
        bool keepMissingWisdomTeeth;
        bool chartRead;
        Masks chart;
        const char* service; // the findings by code; null: a failed analysis
    } cases[] = {
        {"boxes, findings", boxes, "11,c\n18,m\n21,b\n36,p\n", false, true, {{11, 64}, {21, 2}}, "p=36\nb=21\nc=11\n"},
        {"missing wisdom tooth kept", "200,100,10,10,18\n", "18,m\n", true, true, {{18, 8}}, "m=18\n"},
        {"boxes, empty findings: teeth seen, nothing found", boxes, "", false, true, {{11, 1}, {18, 1}, {21, 1}}, ""},
        {"boxes, findings of a blank line", boxes, "\r\n \n", false, true, {{11, 1}, {18, 1}, {21, 1}}, ""},
        {"boxes, a line of no tooth", boxes, "zzz\n11,c\n", false, true, {{11, 64}, {18, 1}, {21, 1}}, "c=11\n"},
        {"header line", "cx,cy,w,h,tooth\n100,100,10,10,11\n", "11,c\n", false, true, {{11, 64}}, "c=11\n"},
        {"3-field garbage", "zzz,not,boxes\n", "26,c\n", false, false, {}, "c=26\n"},
        {"5-field garbage", "zzz,not,real,tooth,boxes\n", "26,c\n36,a\n", false, false, {}, "c=26\na=36\n"},
        {"JSON", R"([{"x":1,"y":1,"w":1,"h":1,"tooth":11}])", R"([{"tooth":11,"c":1}])", false, false, {}, failed},
        {"teeth 0, 19, 51, 99", "1,1,1,1,0\n1,1,1,1,19\n1,1,1,1,51\n1,1,1,1,99\n", "", false, false, {}, failed},
        {"teeth of position 0",
         "1,1,1,1,10\n1,1,1,1,20\n1,1,1,1,30\n1,1,1,1,40\n",
         "10,c\n20,b\n30,c\n40,b\n",
         false,
         false,
         {},
         failed},
        {"negative teeth", "1,1,1,1,-11\n1,1,1,1,-48\n", "-11,c\n-48,b\n", false, false, {}, failed},
        {"kind-first findings", boxes, "c,26,36\n", false, false, {}, failed},
        {"garbage findings", boxes, "zzz\n", false, false, {}, failed},
        {"empty boxes and findings", "", "", false, false, {}, failed},
        {"no texts at all", nullptr, nullptr, false, false, {}, failed},
    };
    for (const auto& c : cases) {
        ToothInfoMap chart = WithMasks({{30, 2}});
        EXPECT_EQ(ReadAnalysisReply(chart, c.boxes, c.findings, c.keepMissingWisdomTeeth), c.chartRead) << c.name;
        EXPECT_EQ(MasksOf(chart), c.chart) << c.name;
        std::string text = "stale";
        EXPECT_EQ(FindingsByCodeFromReply(c.boxes, c.findings, c.keepMissingWisdomTeeth, &text), c.service != nullptr)
            << c.name;
        EXPECT_EQ(text, c.service == nullptr ? "" : c.service) << c.name;
    }
}

TEST(ToothInfoLoader, CallerSequences)
{
    std::string text = "stale";
    EXPECT_TRUE(FindingsByToothFromUpdate("p=36\nb=11,36\nc=11\nm=18\n", &text));
    EXPECT_EQ(text, "11,bc\n18,m\n36,bp\n");

    const ToothInfoMap displayed = WithMasks({{11, 2}, {ToothKey(1, 12), 8}});
    FindingTeethMap byCode;
    FindingTeethMap others{{FINDING_CAVITY, {1}}};
    EXPECT_TRUE(GroupTeethForFindingsText(displayed, byCode, others));
    EXPECT_EQ(Letters(byCode), "pb*caim*jreft");
    EXPECT_EQ(byCode[FINDING_MISSING], std::vector<int>{12});
    EXPECT_TRUE(others.empty());
}

} // namespace
