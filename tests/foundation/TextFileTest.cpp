#include "foundation/TextFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary folder, removed with its contents.
class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / (std::string("quill-textfile-") + info->name() + "-" +
                                              std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string PathOf(const char* name) const { return (folder / name).string(); }

    std::string Write(const char* name, const std::string& bytes) const
    {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::string Bytes(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    fs::path folder;
};

TEST(GuidText, IsUpperCaseHexWithDashesAndKeepsLeadingZeros)
{
    const GUID guid = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    std::string text;
    ASSERT_TRUE(GuidToString(&guid, &text));
    EXPECT_EQ(text, "00112233-4455-6677-8899-AABBCCDDEEFF");

    const GUID small = {0x1, 0x2, 0x3, {0x0, 0x4, 0x0, 0x0, 0x0, 0x0, 0x0, 0x5}};
    ASSERT_TRUE(GuidToString(&small, &text));
    EXPECT_EQ(text, "00000001-0002-0003-0004-000000000005");

    EXPECT_FALSE(GuidToString(nullptr, &text));
}

TEST_F(TextFileTest, ReadSkipsOnlyACompleteLeadingByteOrderMarkAndEndsAtTheFirstZeroByte)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"bom", "\xEF\xBB\xBFxyz", "xyz"},
        {"only bom", "\xEF\xBB\xBF", ""},
        {"half a bom", "\xEF\xBBxy", "\xEF\xBBxy"},
        {"half a bom alone", "\xEF\xBB", "\xEF\xBB"},
        {"bom later", "ab\xEF\xBB\xBF", "ab\xEF\xBB\xBF"},
        {"two boms", "\xEF\xBB\xBF\xEF\xBB\xBFz", "\xEF\xBB\xBFz"},
        {"zero third byte", std::string("ab\0de", 5), "ab"},
        {"zero after bom", std::string("\xEF\xBB\xBF\0x", 5), ""},
        {"utf-16 little endian", std::string("\xFF\xFEh\0i\0", 6), "\xFF\xFEh"},
        {"empty", "", ""},
        {"crlf kept", "a\r\nb", "a\r\nb"},
    };
    for (const auto& c : cases) {
        std::string out = "previous";
        EXPECT_TRUE(ReadWholeFile(Write("f.bin", c.bytes).c_str(), &out)) << c.name;
        EXPECT_EQ(out, c.text) << c.name;
    }
}

TEST_F(TextFileTest, MissingFileIsAFailureThatLeavesTheOutputUnchanged)
{
    const std::string missing = PathOf("missing.txt");
    std::string bytes = "kept";
    EXPECT_FALSE(ReadWholeFile(missing.c_str(), &bytes));
    EXPECT_EQ(bytes, "kept");
    std::wstring text = L"kept";
    EXPECT_FALSE(ReadUtf8File(missing.c_str(), &text));
    EXPECT_EQ(text, L"kept");
    EXPECT_FALSE(ReadWholeFile(nullptr, &bytes));
}

TEST_F(TextFileTest, ReadUtf8DecodesAfterTheByteOrderMark)
{
    std::wstring text;
    ASSERT_TRUE(ReadUtf8File(Write("t.tpl", "\xEF\xBB\xBF\xE7\x89\x99 \xC3\xA9\xFF").c_str(), &text));
    EXPECT_EQ(text, L"\u7259 \u00E9\uFFFD");
    ASSERT_TRUE(ReadUtf8File(Write("e.tpl", "").c_str(), &text));
    EXPECT_EQ(text, L"");
}

TEST_F(TextFileTest, WriteGivesUtf8WithoutByteOrderMarkUpToTheFirstZeroAndReplacesTheFile)
{
    const std::string path = PathOf("out.txt");
    ASSERT_TRUE(WriteUtf8File(path.c_str(), L"\u7259 tooth\r\n"));
    EXPECT_EQ(Bytes(path), "\xE7\x89\x99 tooth\r\n");

    ASSERT_TRUE(WriteUtf8File(path.c_str(), std::wstring(L"ab\0cd", 5)));
    EXPECT_EQ(Bytes(path), "ab");

    ASSERT_TRUE(WriteUtf8File(path.c_str(), L""));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);

    const std::wstring text = L"\u6AA2\u8996 \U0001F600 ok";
    ASSERT_TRUE(WriteUtf8File(path.c_str(), text));
    std::wstring back;
    ASSERT_TRUE(ReadUtf8File(path.c_str(), &back));
    EXPECT_EQ(back, text);
}

TEST_F(TextFileTest, WriteFailsWhenTheFileCannotBeCreated)
{
    EXPECT_FALSE(WriteUtf8File(PathOf("no-such-folder/out.txt").c_str(), L"x"));
    EXPECT_FALSE(fs::exists(folder / "no-such-folder"));
    EXPECT_FALSE(WriteUtf8File(static_cast<const char*>(nullptr), L"x"));
}

#ifndef _WIN32
// A device that takes no bytes: the file opens but the text never lands.
TEST(TextFile, WriteThatFallsShortIsAFailure)
{
    EXPECT_FALSE(WriteUtf8File("/dev/full", L"some findings text"));
}
#endif

} // namespace
