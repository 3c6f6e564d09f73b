// The client-to-server test texts: the characters that a given run of random
// values makes (worked out by hand from the rule), and the seeded sequence.
#include "settings/TestTextGenerator.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

struct ScriptedCase {
    const char* what;
    std::vector<int> values; // drawn in turn, round and round
    const char* text;
    int draws;
};

TEST(TestTextGenerator, OneRandomValueServesCharactersUntilItIsDividedBelowTheNextDivisor)
{
    const ScriptedCase cases[] = {
        // 32767 gives index 31 ('V'), then is divided by 33, 2, 2, 2, 2 (the
        // index stays 0), down to 31 < 33: a fresh value.
        {"largest value", {32767}, "V00000VV00000VV00000VV00000VV00000VV00000VV00", 7},
        {"zero draws every time", {0}, "000000000000000000000000000000000000000000000", 45},
        // 12345: '7', /9 = 1371 '7', /9 = 152 'S', /30 = 5 '5'; 5 < 7 draws 61
        // 'z'; 61 < 63 draws 7 '7'; 7 < 9 draws again.
        {"mixed values", {12345, 61, 7}, "77S5z777S5z777S5z777S5z777S5z777S5z777S5z777S", 22},
        // Out of range values are cut to 15 bits and cannot reach past the alphabet.
        {"beyond the range", {-1}, "V00000VV00000VV00000VV00000VV00000VV00000VV00", 7},
    };
    for (const ScriptedCase& c : cases) {
        size_t next = 0;
        int draws = 0;
        const std::string text = CTestTextGenerator::MakeText([&] {
            ++draws;
            return c.values[next++ % c.values.size()];
        });
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(draws, c.draws) << c.what;
    }
}

TEST(TestTextGenerator, TheSeededSequenceIsRepeatableAndEachTextIsNew)
{
    // Seed 1 draws 41, 18467, 6334, 26500, ... as the usual C library generator does.
    CTestTextGenerator generator(1);
    EXPECT_EQ(generator.Next(), "frPCAVFQGqBmTcLH8VYWvEsl9aNP1fixRFVNSP300Vfj4");
    EXPECT_EQ(generator.Next(), "v8JI7co5rP3gz1R00V8YXBw3DT4i6iLBzS9sOC2VP5td8");

    std::set<std::string> texts;
    CTestTextGenerator timeSeeded(1765104000);
    for (int i = 0; i < 1000; ++i) {
        const std::string text = timeSeeded.Next();
        ASSERT_EQ(text.size(), TEST_TEXT_LENGTH);
        for (char c : text) {
            ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) << text;
        }
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 1000u);
}

} // namespace
