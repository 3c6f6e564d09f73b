#include "analysis/FindingKind.h"
#include "analysis/ToothInfo.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

struct KindCase {
    FindingKind bit;
    const char* code;
    unsigned stringId;
    const char* placeholder; // null: none
    const char* tableName;   // null: not a row of the code table
    int tableRow;
    int codeOrderPlace;
};

// Every kind in bit order, as the rest of the program relies on it.
const KindCase KINDS[] = {
    {FINDING_HEALTHY, "0", 129, nullptr, nullptr, -1, -1},
    {FINDING_CROWN_BRIDGE, "b", 130, "[%bbb%]", "Crown_and_Bridge", 0, 1},
    {FINDING_IMPACTION, "i", 131, "[%iii%]", "Impaction", 1, 4},
    {FINDING_MISSING, "m", 132, "[%mmm%]", "Missing", 2, 5},
    {FINDING_PERIO, "p", 133, "[%ppp%]", "Periodontitis", 3, 0},
    {FINDING_IMPLANT, "j", 134, "[%jjj%]", "Implant", 8, 6},
    {FINDING_CAVITY, "c", 135, "[%ccc%]", "Cavity", 4, 2},
    {FINDING_APICAL_LESION, "a", 136, "[%aaa%]", "Apical_lesion", 5, 3},
    {FINDING_ENDODONTIC, "e", 137, "[%eee%]", "Endodontic", 6, 8},
    {FINDING_FILLING, "f", 138, "[%fff%]", "Filling", 7, 9},
    {FINDING_RR, "r", 139, "[%rrr%]", "R.R.", 9, 7},
    {FINDING_POST, "t", 140, "[%ttt%]", "Post", 10, 10},
    {FINDING_UNKNOWN, "?", 141, nullptr, "Unknown", 11, 11},
};

std::string OrNone(const char* text)
{
    return text == nullptr ? "(none)" : text;
}

TEST(FindingKind, EveryKindHasItsCodeBitStringIdPlaceholderAndPlaces)
{
    ASSERT_EQ(std::size(KINDS), FINDING_KIND_COUNT);
    for (size_t i = 0; i < std::size(KINDS); ++i) {
        const KindCase& k = KINDS[i];
        SCOPED_TRACE(k.code);
        EXPECT_EQ(k.bit, 1u << i) << "bit order";
        EXPECT_STREQ(FindingCode(k.bit), k.code);
        EXPECT_EQ(ParseFindingCodes(k.code), static_cast<uint32_t>(k.bit));

        EXPECT_EQ(FindingKindsInBitOrder[i].kind, k.bit);
        EXPECT_EQ(FindingKindsInBitOrder[i].stringId, k.stringId);
        EXPECT_EQ(OrNone(FindingKindsInBitOrder[i].placeholder), OrNone(k.placeholder));
        ASSERT_EQ(FindFindingKind(k.bit), &FindingKindsInBitOrder[i]);

        if (k.tableRow < 0) {
            for (const FindingCodeRow& row : FindingCodeTable) {
                EXPECT_NE(row.bit, k.bit) << "Healthy is no row of the table";
            }
            for (const FindingKind kind : FindingCodeOrder) {
                EXPECT_NE(kind, k.bit);
            }
            continue;
        }
        const FindingCodeRow& row = FindingCodeTable[k.tableRow];
        EXPECT_STREQ(row.code, k.code);
        EXPECT_STREQ(row.name, k.tableName);
        EXPECT_EQ(row.bit, k.bit);
        EXPECT_EQ(FindingCodeOrder[k.codeOrderPlace], k.bit);
    }
}

TEST(FindingKind, LookupsRejectWhatIsNotOneKind)
{
    for (const uint32_t notAKind : {0u, 3u, 8192u, FILTER_ALL_FINDINGS}) {
        EXPECT_EQ(FindingCode(notAKind), nullptr) << notAKind;
        EXPECT_EQ(FindFindingKind(notAKind), nullptr) << notAKind;
    }
    EXPECT_EQ(FILTER_ALL_FINDINGS, 4294967294u);
}

TEST(FindingKind, WalkingTheCodeOrderGivesItsOwnLetterSequence)
{
    std::string letters;
    for (const FindingKind kind : FindingCodeOrder) {
        letters += FindingCode(kind);
    }
    EXPECT_EQ(letters, "pbcaimjreft?");
}

TEST(ParseFindingCodes, OnlyThePresenceOfEachCodeCounts)
{
    const struct {
        const char* codes;
        uint32_t mask;
    } cases[] = {
        {"", 0},     {"0", 1},   {"b", 2}, {"0b", 3}, {"b0", 3},  {"bim", 14}, {"pp", 16},
        {"?", 4096}, {"b,i", 6}, {"x", 0}, {"B", 0},  {"   ", 0}, {"10", 1},   {"0bimpjcaefrt?", 8191},
        {"b\r", 2},  {"\r", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFindingCodes(c.codes), c.mask) << "'" << c.codes << "'";
    }
}

TEST(ToothInfo, NewRecordsAreHealthyWithZeroBoxes)
{
    const CToothInfo fresh;
    ToothInfoMap map;
    const CToothInfo& created = map[7];
    for (const CToothInfo* record : {&fresh, &created}) {
        EXPECT_EQ(record->findingMask, 1u);
        EXPECT_EQ(record->toothNumber, 0);
        EXPECT_EQ(record->flags, 0u);
        EXPECT_EQ(record->imageBox.left | record->imageBox.top | record->imageBox.right | record->imageBox.bottom, 0);
        EXPECT_EQ(record->screenBox.left | record->screenBox.top | record->screenBox.right | record->screenBox.bottom,
                  0);
    }
}

TEST(ToothInfo, KeysOfSeveralImagesIterateImageByImage)
{
    ToothInfoMap displayed;
    displayed[ToothKey(1, 11)].toothNumber = 11;
    displayed[ToothKey(0, 48)].toothNumber = 48;
    displayed[ToothKey(0, 11)].toothNumber = 11;

    std::vector<uint32_t> keys;
    std::vector<uint32_t> images;
    for (const auto& entry : displayed) {
        keys.push_back(entry.first);
        images.push_back(ImageIndexOfKey(entry.first));
    }
    EXPECT_EQ(keys, (std::vector<uint32_t>{11, 48, 267}));
    EXPECT_EQ(images, (std::vector<uint32_t>{0, 0, 1}));
}

} // namespace
