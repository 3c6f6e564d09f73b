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

TEST(TempJournalText, OnlyACopysNameDirectlyInTheTemporaryFolderCountsAsACopy)
{
    const struct {
        std::wstring path;
        bool copy;
    } cases[] = {
        {COPY_A, true},
        {COPY_B, true},
        {FOLDER + L"00112233-4455-6677-8899-AABBCCDDEEFF.png", false},
        {FOLDER + L"00112233-4455-6677-8899AAABBCCDDEEFF.jpg", false},
        {FOLDER + L"patient.jpg", false},
        {FOLDER + L"sub\\00112233-4455-6677-8899-AABBCCDDEEFF.jpg", false},
        {L"D:\\Patients\\00112233-4455-6677-8899-AABBCCDDEEFF.jpg", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTempCopyPath(FOLDER, c.path), c.copy) << WideToUtf8(c.path);
    }
    EXPECT_FALSE(IsTempCopyPath(L"", COPY_A));
}

} // namespace
