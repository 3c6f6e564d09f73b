#include "analysis/TextField.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

struct FormatCase {
    const char* what;
    int outSize;
    std::string key;
    const char* value;
    int expected;
    std::string bytes;
};

TEST(FormatField, WritesHeaderAndValueOrFailsWhole)
{
    const std::string key46(46, 'K');
    const std::string key47(47, 'K');
    const FormatCase cases[] = {
        {"value", 64, "#@GUID@#", "ABC", 14, "#@GUID@#;3;ABC"},
        {"null value", 64, "#@NEWPANO@#", nullptr, 14, "#@NEWPANO@#;0;"},
        {"empty value as null", 64, "#@NEWPANO@#", "", 14, "#@NEWPANO@#;0;"},
        {"header of 49 bytes", 64, key46, nullptr, 49, key46 + ";0;"},
        {"header of 50 bytes", 64, key47, nullptr, 0, ""},
        {"header needs 12 with NUL", 10, "#@GUID@#", nullptr, 0, ""},
        {"header exactly fills with NUL", 12, "#@GUID@#", nullptr, 11, "#@GUID@#;0;"},
        {"value and NUL fit exactly", 15, "#@GUID@#", "ABC", 14, "#@GUID@#;3;ABC"},
        {"value one byte too long", 14, "#@GUID@#", "ABC", 0, ""},
        {"no room at all", 0, "K", "v", 0, ""},
    };
    for (const auto& c : cases) {
        char out[80];
        std::memset(out, 'x', sizeof out);
        const int written = FormatField(out, c.outSize, c.key.c_str(), c.value);
        EXPECT_EQ(written, c.expected) << c.what;
        if (written > 0) {
            EXPECT_EQ(std::string(out, written), c.bytes) << c.what;
            EXPECT_EQ(out[written], '\0') << c.what;
        }
    }
    EXPECT_EQ(FormatField(nullptr, 64, "K", "v"), 0);
}

TEST(FormatFieldHeader, PrintsTheLengthGiven)
{
    char out[MAX_FIELD_HEADER];
    ASSERT_EQ(FormatFieldHeader(out, sizeof out, "#@JPG@#", 52428800), 17);
    EXPECT_STREQ(out, "#@JPG@#;52428800;");
}

struct ParseCase {
    std::string data;
    bool ok;
    std::string key;
    int valueLen;
    int headerLen;
};

TEST(ParseFieldHeader, ReadsKeyLengthAndHeaderSize)
{
    const ParseCase cases[] = {
        {"ABC;5;hello", true, "ABC", 5, 6},
        {";0;", true, "", 0, 3},
        {"K;x;", true, "K", 0, 4},
        {"K;12ab;", true, "K", 12, 7},
        {"K; -7;", true, "K", -7, 6},
        {"K;+3;", true, "K", 3, 5},
        {"ABC;5", false, "", 0, 0},
        {"ABC", false, "", 0, 0},
        {"", false, "", 0, 0},
        // A NUL ends the search for the separators.
        {std::string("K;5\0;", 5), false, "", 0, 0},
        {std::string("K\0;5;", 5), false, "", 0, 0},
        // Lengths from the wire saturate instead of overflowing.
        {"K;99999999999999999999999999;", true, "K", INT_MAX, 29},
        {"K;2147483648;", true, "K", INT_MAX, 13},
        {"K;-99999999999999999999999999;", true, "K", INT_MIN, 30},
        {"K;2147483647;", true, "K", INT_MAX, 13},
    };
    for (const auto& c : cases) {
        std::string key = "unchanged";
        int valueLen = -99;
        int headerLen = -99;
        EXPECT_EQ(ParseFieldHeader(c.data.data(), static_cast<int>(c.data.size()), &key, &valueLen, &headerLen), c.ok)
            << c.data;
        if (c.ok) {
            EXPECT_EQ(key, c.key) << c.data;
            EXPECT_EQ(valueLen, c.valueLen) << c.data;
            EXPECT_EQ(headerLen, c.headerLen) << c.data;
        }
    }
}

TEST(ParseFieldHeader, SearchesNoFurtherThanTheLengthGiven)
{
    std::string key;
    int valueLen = 0;
    int headerLen = 0;
    EXPECT_FALSE(ParseFieldHeader("ABC;5;hello", 5, &key, &valueLen, &headerLen));
    EXPECT_TRUE(ParseFieldHeader("ABC;5;hello", 6, &key, &valueLen, &headerLen));
    EXPECT_FALSE(ParseFieldHeader(nullptr, 6, &key, &valueLen, &headerLen));
}

TEST(ReadField, RefusesNegativeLengthsAndValuesPastTheEnd)
{
    const std::string data = "K;3;abcL;0;";
    TextField field;
    ASSERT_TRUE(ReadField(data.data(), static_cast<int>(data.size()), &field));
    EXPECT_EQ(std::string(field.value, field.valueLen), "abc");
    EXPECT_EQ(field.size, 7);
    EXPECT_FALSE(ReadField(data.data(), 6, &field));
    const std::string negative = "K;-1;abc";
    EXPECT_FALSE(ReadField(negative.data(), static_cast<int>(negative.size()), &field));
    const std::string huge = "K;99999999999999;abc";
    EXPECT_FALSE(ReadField(huge.data(), static_cast<int>(huge.size()), &field));
}

} // namespace
