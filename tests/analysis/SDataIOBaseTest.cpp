#include "analysis/SDataIOBase.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

// Records what the parser hands over, and can stop it at one line.
class RecordingParser : public CSDataIOBase {
public:
    explicit RecordingParser(const char* set = nullptr, int stopAt = -1) : set(set), stopAt(stopAt) {}

    bool OnRecord(int recordIndex, const std::string& line, std::vector<std::string>& fields) override
    {
        records.push_back({recordIndex, fields});
        lines.push_back(line);
        return recordIndex != stopAt;
    }

    const char* GetDelimiters() override
    {
        ++delimiterRequests;
        return set == nullptr ? CSDataIOBase::GetDelimiters() : set;
    }

    std::vector<std::pair<int, Fields>> records;
    std::vector<std::string> lines;
    int delimiterRequests = 0;

private:
    const char* set;
    int stopAt;
};

Fields FieldsOf(const char* set, const std::string& line)
{
    RecordingParser parser(set);
    parser.ParseText("");
    Fields fields{"left over"};
    parser.SplitLine(line, &fields);
    return fields;
}

TEST(SDataIOBase, FieldRule)
{
    const struct {
        const char* line;
        Fields fields;
    } cases[] = {
        {"a,b", {"a", "b"}},
        {" a , b ", {"a", "b"}},
        {"a b,c", {"a b", "c"}},
        {"a  b ,c", {"a  b", "c"}},
        {"a,", {"a"}},
        {",a", {"", "a"}},
        {"a,,b", {"a", "", "b"}},
        {",", {""}},
        {",,", {"", ""}},
        {"a, ", {"a", ""}},
        {"   ", {""}},
        {"", {}},
        {"a\tb", {"a\tb"}},
        {"11,b\r", {"11", "b\r"}},
        {"a,\r", {"a", "\r"}},
        {"\r", {"\r"}},
        {"\xc3\xa9,\x80", {"\xc3\xa9", "\x80"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FieldsOf(nullptr, c.line), c.fields) << "'" << c.line << "'";
    }
}

TEST(SDataIOBase, FieldRuleWithOtherSets)
{
    EXPECT_EQ(FieldsOf(",=", "m=18,28"), (Fields{"m", "18", "28"}));
    EXPECT_EQ(FieldsOf(",=", "=11"), (Fields{"", "11"}));
    EXPECT_EQ(FieldsOf(",=", "m="), (Fields{"m"}));
    // A space in the set is still no delimiter.
    EXPECT_EQ(FieldsOf(" ,", " a b , c "), (Fields{"a b", "c"}));
    // A NUL ends the line.
    EXPECT_EQ(FieldsOf(",", std::string("a,b\0,c", 6)), (Fields{"a", "b"}));
    EXPECT_EQ(FieldsOf(",", std::string("\0a", 2)), Fields{});
}

TEST(SDataIOBase, LinesAreNumberedInTextOrderAndOnlyThoseWithFieldsReported)
{
    RecordingParser blankLine;
    blankLine.ParseText("1,a\n\nx,b");
    EXPECT_EQ(blankLine.records, (std::vector<std::pair<int, Fields>>{{0, {"1", "a"}}, {2, {"x", "b"}}}));

    RecordingParser finalLineEnd;
    finalLineEnd.ParseText("x\n");
    EXPECT_EQ(finalLineEnd.records, (std::vector<std::pair<int, Fields>>{{0, {"x"}}}));

    RecordingParser spaceLine;
    spaceLine.ParseText(" \n");
    EXPECT_EQ(spaceLine.records, (std::vector<std::pair<int, Fields>>{{0, {""}}}));

    RecordingParser crlf;
    crlf.ParseText("11,b\r\n\r\n12,c\r\n");
    EXPECT_EQ(crlf.records, (std::vector<std::pair<int, Fields>>{{0, {"11", "b\r"}}, {1, {"\r"}}, {2, {"12", "c\r"}}}));
    EXPECT_EQ(crlf.lines, (std::vector<std::string>{"11,b\r", "\r", "12,c\r"}));
}

TEST(SDataIOBase, FalseFromTheCallbackStopsTheParseWhichStillSucceeds)
{
    RecordingParser parser(nullptr, 3);
    EXPECT_TRUE(parser.ParseText("a\nb\nc\nd\ne\nf"));
    ASSERT_EQ(parser.records.size(), 4u);
    EXPECT_EQ(parser.records.back().first, 3);
}

TEST(SDataIOBase, NullTextParsesNothingAndAsksForNoDelimiters)
{
    RecordingParser parser;
    EXPECT_TRUE(parser.ParseText(nullptr));
    EXPECT_EQ(parser.delimiterRequests, 0);
    EXPECT_TRUE(parser.records.empty());

    EXPECT_TRUE(parser.ParseText("a,b\nc"));
    EXPECT_EQ(parser.delimiterRequests, 1) << "asked once per text";
}

TEST(SDataIOBase, BeforeAnyTextNothingIsADelimiter)
{
    RecordingParser parser;
    Fields fields;
    EXPECT_TRUE(parser.Tokenize(" a,b ", &fields));
    EXPECT_EQ(fields, Fields{"a,b"});
}

} // namespace
