#include "foundation/IniValue.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(IniValue, ReadsSignedDecimalIntegersOfThirtyTwoBits)
{
    const std::pair<const wchar_t*, int32_t> good[] = {
        {L"0", 0}, {L"10", 10}, {L"-1920", -1920}, {L"+7", 7}, {L" 42 ", 42}, {L"\t5", 5},
        {L"2147483647", INT32_MAX}, {L"-2147483648", INT32_MIN}, {L"007", 7},
    };
    for (const auto& [text, expected] : good) {
        int32_t value = 12345;
        EXPECT_TRUE(ParseIniInteger(text, value)) << text;
        EXPECT_EQ(value, expected);
    }
}

TEST(IniValue, RefusesWhatIsNotOneDecimalIntegerAndLeavesTheValue)
{
    const wchar_t* bad[] = {L"", L" ", L"-", L"+", L"abc", L"12abc", L"1 2", L"0x10", L"1.5",
                            L"2147483648", L"-2147483649", L"99999999999999999999999"};
    for (const wchar_t* text : bad) {
        int32_t value = 12345;
        EXPECT_FALSE(ParseIniInteger(text, value));
        EXPECT_EQ(value, 12345);
    }
}

TEST(IniValue, EveryWrittenValueReadsBackUnchanged)
{
    for (int32_t v : {INT32_MIN, -1920, -1, 0, 1, 300, INT32_MAX}) {
        int32_t back = 0;
        ASSERT_TRUE(ParseIniInteger(FormatIniInteger(v), back));
        EXPECT_EQ(back, v);
    }
}

} // namespace
