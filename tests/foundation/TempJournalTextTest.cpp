#include "foundation/TempJournalText.h"

#include "foundation/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring FOLDER = L"C:\\Users\\\u738b\u5c0f\u660e\\Temp\\";
const std::wstring COPY_A = FOLDER + L"00112233-4455-6677-8899-AABBCCDDEEFF.jpg";
const std::wstring COPY_B = FOLDER + L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9.txt";

std::string Record(const std::wstring& path)
{
    return JournalLine(JOURNAL_RECORD, path);
}

std::string Strike(const std::wstring& path)
{
    return JournalLine(JOURNAL_STRIKE, path);
}

TEST(TempJournalText, NamesWhatWasRecordedAndNotStruckInTheOrderFirstRecorded)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<std::wstring> live;
    } cases[] = {
        {"empty", "", {}},
        {"two recorded", Record(COPY_B) + Record(COPY_A), {COPY_B, COPY_A}},
        {"one struck", Record(COPY_A) + Record(COPY_B) + Strike(COPY_A), {COPY_B}},
        {"recorded twice, struck once", Record(COPY_A) + Record(COPY_A) + Strike(COPY_A), {}},
        {"recorded again after its strike", Record(COPY_A) + Strike(COPY_A) + Record(COPY_A), {COPY_A}},
        {"struck before it was recorded", Strike(COPY_A) + Record(COPY_A), {COPY_A}},
        // A run killed while writing: the last line has no end.
        {"a record cut short", Record(COPY_A) + Record(COPY_B).substr(0, 20), {COPY_A}},
        {"a strike cut short", Record(COPY_A) + Strike(COPY_A).substr(0, 20), {COPY_A}},
        {"lines of no form", "\n+\n*" + Record(COPY_A).substr(1) + "\xFF\xFE+\n" + Record(COPY_B), {COPY_B}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LiveJournalPaths(c.text), c.live) << c.name;
    }
}

// A journal read piece by piece, as the start reads one however large it
// grew, names what the whole text names.
TEST(TempJournalText, AJournalReadInPiecesNamesWhatItsWholeTextNames)
{
    const std::string overlong = "+" + std::string(200000, 'x') + "\n";
    const struct {
        const char* name;
        std::string text;
        std::vector<std::wstring> live;
    } cases[] = {
        {"records and strikes", Record(COPY_A) + Record(COPY_B) + Strike(COPY_A), {COPY_B}},
        {"a line longer than any path", Record(COPY_A) + overlong + Strike(COPY_A) + Record(COPY_B), {COPY_B}},
        {"an overlong line cut short", Record(COPY_A) + overlong.substr(0, 150000), {COPY_A}},
    };
    for (const auto& c : cases) {
        for (const size_t piece : {size_t{1}, size_t{7}, size_t{65536}}) {
            CJournalReader reader;
            for (size_t at = 0; at < c.text.size(); at += piece) {
                reader.Feed(std::string_view(c.text).substr(at, piece));
            }
            EXPECT_EQ(reader.LivePaths(), c.live) << c.name << ", pieces of " << piece;
        }
        EXPECT_EQ(LiveJournalPaths(c.text), c.live) << c.name;
    }
}

TEST(TempJournalText, OnlyACopysNameCountsAsACopy)
{
    const struct {
        std::wstring name;
        bool copy;
    } cases[] = {
        {L"00112233-4455-6677-8899-AABBCCDDEEFF.jpg", true},
        {L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9.txt", true},
        {L"00112233-4455-6677-8899-AABBCCDDEEFF.png", false},
        {L"00112233-4455-6677-8899AAABBCCDDEEFF.jpg", false},
        {L"patient.jpg", false},
        {L"sub\\00112233-4455-6677-8899-AABBCCDDEEFF.jpg", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTempCopyName(c.name), c.copy) << WideToUtf8(c.name);
    }
}

} // namespace
