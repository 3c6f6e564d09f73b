#include "chart/ToothLabel.h"

#include <gtest/gtest.h>

namespace {

TEST(ToothLabel, IsTheNumberRightAlignedInTwoCharactersAndCutToTwo)
{
    const struct {
        int32_t number;
        const wchar_t* label;
    } cases[] = {
        {8, L" 8"}, {0, L" 0"}, {11, L"11"}, {48, L"48"}, {123, L"12"}, {-5, L"-5"}, {-12, L"-1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToothLabel(c.number), c.label) << c.number;
    }
}

} // namespace
