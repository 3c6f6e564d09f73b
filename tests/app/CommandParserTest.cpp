#include "app/CommandParser.h"

#include <gtest/gtest.h>

namespace {

CCommandParser Parse(std::vector<std::wstring> words)
{
    CCommandParser parser;
    ParseCommandLine(words, parser);
    return parser;
}

TEST(CommandParser, ServiceSwitchTakesEitherLeadCharacterAndIsCaseSensitive)
{
    EXPECT_TRUE(Parse({L"/service"}).serviceFlag);
    EXPECT_TRUE(Parse({L"-service"}).serviceFlag);
    const CCommandParser wrongCase = Parse({L"/Service"});
    EXPECT_FALSE(wrongCase.serviceFlag);
    EXPECT_FALSE(wrongCase.sharpFlag);
    EXPECT_FALSE(wrongCase.fileFlag);
    // A bare word is a value, never a switch; a doubled lead character is not dropped twice.
    EXPECT_FALSE(Parse({L"service"}).serviceFlag);
    EXPECT_FALSE(Parse({L"--service"}).serviceFlag);
}

TEST(CommandParser, ServiceAndSharpTogetherKeepBothFlagsForStartUpToChoose)
{
    const CCommandParser p = Parse({L"/service", L"/sharp", L"a", L"b"});
    EXPECT_TRUE(p.serviceFlag);
    EXPECT_TRUE(p.sharpFlag);
    EXPECT_EQ(p.sharpArg1, L"a");
    EXPECT_EQ(p.sharpArg2, L"b");
}

TEST(CommandParser, SharpTakesTheTwoFollowingPositions)
{
    const CCommandParser both = Parse({L"/sharp", L"C:\\in dir", L"C:\\out"});
    EXPECT_TRUE(both.sharpFlag);
    EXPECT_EQ(both.sharpArg1, L"C:\\in dir");
    EXPECT_EQ(both.sharpArg2, L"C:\\out");

    const CCommandParser sourceOnly = Parse({L"/sharp", L"C:\\in"});
    EXPECT_EQ(sourceOnly.sharpArg1, L"C:\\in");
    EXPECT_EQ(sourceOnly.sharpArg2, L"");

    const CCommandParser bare = Parse({L"-sharp"});
    EXPECT_TRUE(bare.sharpFlag);
    EXPECT_EQ(bare.sharpArg1, L"");
    EXPECT_EQ(bare.sharpArg2, L"");
}

TEST(CommandParser, AFlagHoldsItsPositionAndNeverFillsAValue)
{
    // /sharp /file x: the flag stands at the source's position, x is both
    // the target and the file path.
    const CCommandParser p = Parse({L"/sharp", L"/file", L"x"});
    EXPECT_EQ(p.sharpArg1, L"");
    EXPECT_EQ(p.sharpArg2, L"x");
    std::wstring path;
    ASSERT_TRUE(p.GetFilePath(path));
    EXPECT_EQ(path, L"x");

    // /sharp a /file b: the flag stands at the target's position.
    const CCommandParser q = Parse({L"/sharp", L"a", L"/file", L"b"});
    EXPECT_TRUE(q.sharpFlag);
    EXPECT_EQ(q.sharpArg1, L"a");
    EXPECT_EQ(q.sharpArg2, L"");
    EXPECT_EQ(q.filePath, L"b");
}

TEST(CommandParser, FileTakesTheNextPositionOnly)
{
    std::wstring path = L"untouched";
    EXPECT_TRUE(Parse({L"/file", L"C:\\x ray.jpg"}).GetFilePath(path));
    EXPECT_EQ(path, L"C:\\x ray.jpg");

    path = L"untouched";
    EXPECT_FALSE(Parse({L"C:\\x.jpg"}).GetFilePath(path)) << "a path without the switch opens nothing";
    EXPECT_FALSE(Parse({L"/file"}).GetFilePath(path)) << "/file as the last word opens nothing";
    EXPECT_FALSE(Parse({L"/file", L""}).GetFilePath(path)) << "an empty path is no path";
    EXPECT_FALSE(Parse({L"/file", L"/x.jpg"}).GetFilePath(path)) << "a flag at the value's position";
    EXPECT_EQ(path, L"untouched");

    ASSERT_TRUE(Parse({L"/file", L"a", L"b"}).GetFilePath(path));
    EXPECT_EQ(path, L"a");
}

TEST(CommandParser, UnknownSwitchesAndWordsAreIgnoredButCounted)
{
    const CCommandParser p = Parse({L"/verbose", L"/file", L"a.jpg", L"/Sharp", L"x", L"y"});
    EXPECT_FALSE(p.sharpFlag);
    EXPECT_FALSE(p.serviceFlag);
    EXPECT_EQ(p.filePath, L"a.jpg");
    EXPECT_EQ(p.paramIndex, 0) << "the count starts over after the last word";
}

TEST(CommandParser, NoWordsMeanTheMainModeWithNothingPending)
{
    const CCommandParser p = Parse({});
    EXPECT_FALSE(p.serviceFlag);
    EXPECT_FALSE(p.sharpFlag);
    EXPECT_FALSE(p.fileFlag);
    std::wstring path;
    EXPECT_FALSE(p.GetFilePath(path));
}

} // namespace
