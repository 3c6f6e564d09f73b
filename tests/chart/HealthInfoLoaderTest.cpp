// The health-education catalogue's line format and order, the numbering of
// its menu commands, and the filled page.
#include "chart/HealthInfoLoader.h"
#include "chart/HealthPage.h"

#include "analysis/FindingKind.h"
#include "foundation/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// An item as "kind|codes|title|path", in catalogue order.
std::vector<std::wstring> ItemsOf(const CHealthInfoLoader& loader)
{
    std::vector<std::wstring> items;
    loader.ForEach([&](const CHealthInfo& item) {
        items.push_back(std::to_wstring(item.kind) + L"|" + Utf8ToWide(item.codes) + L"|" + item.title + L"|" +
                        Utf8ToWide(item.path));
    });
    return items;
}

TEST(HealthInfoLoader, LinesFollowTheFormatsRules)
{
    const struct {
        const char* name;
        std::wstring text;
        std::vector<std::wstring> items;
    } cases[] = {
        {"CR LF lines and text after the fourth separator",
         L"0;p;Gums;Health\\perio;ignored;more\r\n1;c;Caries;https://example.org/c;x\r\n",
         {L"1|c|Caries|https://example.org/c", L"0|p|Gums|Health\\perio\\"}},
        {"LF lines give the same",
         L"0;p;Gums;Health\\perio;ignored;more\n1;c;Caries;https://example.org/c;x\n",
         {L"1|c|Caries|https://example.org/c", L"0|p|Gums|Health\\perio\\"}},
        {"three separators are skipped, the next line loads",
         L"0;p;Gums;Health\\perio\n0;c;Caries;C;\n",
         {L"0|c|Caries|C\\"}},
        {"three separators on the last line without a break", L"0;c;Caries;C;\n0;p;Gums;P", {L"0|c|Caries|C\\"}},
        {"a separator past the line's end does not count", L"0;p;Gums;P\n;\n", {}},
        {"a final line break makes no item", L"0;c;Caries;C;\n", {L"0|c|Caries|C\\"}},
        {"an empty text", L"", {}},
        {"empty lines and lines of spaces", L"\n   \n\r\n0;c;A;C;\n\n", {L"0|c|A|C\\"}},
        {"kind: a space before 1 makes a shell item", L" 1;c;A;t;", {L"1|c|A|t"}},
        {"kind: empty makes a page item", L";c;A;f;", {L"0|c|A|f\\"}},
        {"kind: 2 is skipped", L"2;c;A;f;", {}},
        {"kind: 256 makes a page item", L"256;c;A;f;", {L"0|c|A|f\\"}},
        {"kind: 257 makes a shell item", L"257;c;A;t;", {L"1|c|A|t"}},
        {"kind: text makes a page item", L"x1;c;A;f;", {L"0|c|A|f\\"}},
        {"kind: digits end at the first other character", L"1x;c;A;t;", {L"1|c|A|t"}},
        {"kind: -255 wraps to 1", L"-255;c;A;t;", {L"1|c|A|t"}},
        {"kind: an overlong number keeps its low bits", L"99999999999999999999;c;A;t;", {}},
        {"empty codes are skipped", L"0;;A;f;\n1;;B;t;", {}},
        {"a folder keeps its one final backslash", L"0;c;A;Health\\caries\\;", {L"0|c|A|Health\\caries\\"}},
        {"an empty folder stays empty", L"0;c;A;;", {L"0|c|A|"}},
        {"a shell target gets no backslash", L"1;c;A;C:\\Docs;", {L"1|c|A|C:\\Docs"}},
        {"spaces around the path go, around the title stay",
         L"0;c;  A title  ; \t Health\\caries \t;",
         {L"0|c|  A title  |Health\\caries\\"}},
        {"Unicode spaces around the path go too", L"0;c;A;\x3000\x00A0Health\\齲齒\x2003;", {L"0|c|A|Health\\齲齒\\"}},
        {"b before p whatever the file order, file order within a letter",
         L"0;p;P1;p1;\n0;b;B1;b1;\n0;pc;P2;p2;\n0;b;B2;b2;\n",
         {L"0|b|B1|b1\\", L"0|b|B2|b2\\", L"0|p|P1|p1\\", L"0|pc|P2|p2\\"}},
        {"codes from byte 0x80 on come before ASCII",
         L"0;a;A;a;\n0;牙;T;t;\n0;0;Z;z;\n",
         {L"0|牙|T|t\\", L"0|0|Z|z\\", L"0|a|A|a\\"}},
    };
    for (const auto& c : cases) {
        CHealthInfoLoader loader;
        loader.Parse(L"0;c;stale;s;");
        loader.Parse(c.text);
        EXPECT_EQ(ItemsOf(loader), c.items) << c.name;
    }
}

TEST(HealthInfoLoader, AnItemCarriesTheMaskOfItsCodesAndNoCommandUntilNumbered)
{
    CHealthInfoLoader loader;
    loader.Parse(L"0;pc?;A;f;");
    ASSERT_EQ(loader.Count(), 1u);
    const CHealthInfo& item = loader.items.begin()->second.front();
    EXPECT_EQ(item.findingMask, uint32_t{FINDING_PERIO | FINDING_CAVITY | FINDING_UNKNOWN});
    EXPECT_EQ(item.commandId, 0);
}

TEST(HealthInfoLoader, OnlyTheFirstSixtyItemsInCatalogueOrderGetCommands)
{
    std::wstring text = L"0;b;first;f;\n";
    for (int i = 2; i <= 61; ++i) {
        text += L"1;p;item" + std::to_wstring(i) + L";t;\n";
    }
    CHealthInfoLoader loader;
    loader.Parse(text);
    ASSERT_EQ(loader.Count(), 61u);
    loader.NumberCommands(32821, 32880);
    std::vector<int32_t> commands;
    loader.ForEach([&](const CHealthInfo& item) { commands.push_back(item.commandId); });
    for (size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(commands[i], static_cast<int32_t>(32821 + i));
    }
    EXPECT_EQ(commands[60], 0);
    ASSERT_NE(loader.FindCommand(32821), nullptr);
    EXPECT_EQ(loader.FindCommand(32821)->title, L"first");
    ASSERT_NE(loader.FindCommand(32880), nullptr);
    EXPECT_EQ(loader.FindCommand(32880)->title, L"item60");
    EXPECT_EQ(loader.FindCommand(32881), nullptr);
}

class HealthCatalogueFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("quill-health-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& bytes) const
    {
        const std::string path = (folder / "items.dsc").string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    fs::path folder;
};

TEST_F(HealthCatalogueFileTest, TheFileIsUtf8AfterAnyByteOrderMarkAndEndsAtItsFirstZeroByte)
{
    CHealthInfoLoader loader;
    ASSERT_TRUE(loader.Load(Write("\xEF\xBB\xBF"
                                  "0;c;\xE8\x9B\x80\xE7\x89\x99;Health\\caries;\r\n"
                                  "1;p;Gums;t;\n" +
                                  std::string(1, '\0') + "0;b;after zero;b;\n")));
    EXPECT_EQ(ItemsOf(loader), (std::vector<std::wstring>{L"0|c|蛀牙|Health\\caries\\", L"1|p|Gums|t"}));
}

TEST_F(HealthCatalogueFileTest, AMissingFileIsAFailureThatEmptiesTheCatalogueAndAnEmptyOneIsNot)
{
    CHealthInfoLoader loader;
    loader.Parse(L"0;c;A;f;");
    EXPECT_FALSE(loader.Load((folder / "absent.dsc").string()));
    EXPECT_TRUE(loader.Empty());
    EXPECT_TRUE(loader.Load(Write("")));
    EXPECT_TRUE(loader.Empty());
}

// The catalogue that ships beside the program: its page folders, written
// with backslashes against the working directory, each hold a template that
// shows the tooth's number and its crop.
TEST(HealthInfoLoader, TheShippedCatalogueListsItsPagesAndAShellTarget)
{
    const std::string data = QUILL_HEALTH_DATA;
    CHealthInfoLoader loader;
    ASSERT_TRUE(loader.Load(data + "/items.dsc"));
    int pages = 0;
    int targets = 0;
    loader.ForEach([&](const CHealthInfo& item) {
        EXPECT_FALSE(item.title.empty());
        EXPECT_NE(item.findingMask, 0u) << item.codes;
        if (item.kind == HEALTH_SHELL_ITEM) {
            ++targets;
            EXPECT_EQ(item.path.rfind("https://", 0), 0u) << item.path;
            return;
        }
        ++pages;
        ASSERT_EQ(item.path.rfind("Health\\", 0), 0u) << item.path;
        std::string folder = data + "/" + item.path.substr(7);
        folder.back() = '/';
        std::ifstream file(folder + "index.tpl", std::ios::binary);
        const std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_NE(page.find("[%TOOTH_INFO%]"), std::string::npos) << folder;
        EXPECT_NE(page.find("src=\"tooth_img01.jpg\""), std::string::npos) << folder;
    });
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(targets, 1);
}

TEST(HealthPage, EveryPlaceholderTakesTheToothNumber)
{
    const struct {
        const wchar_t* name;
        std::wstring pageTemplate;
        int32_t tooth;
        std::wstring page;
    } cases[] = {
        {L"twice", L"<p>[%TOOTH_INFO%]</p><img alt=\"[%TOOTH_INFO%]\">", 36, L"<p>36</p><img alt=\"36\">"},
        {L"none: unchanged", L"<p>牙齒</p>", 36, L"<p>牙齒</p>"},
        {L"adjacent", L"[%TOOTH_INFO%][%TOOTH_INFO%]", 11, L"1111"},
        {L"case matters", L"[%tooth_info%]", 11, L"[%tooth_info%]"},
        {L"non-overlapping, left to right", L"[%TOOTH_INFO[%TOOTH_INFO%]%]", 48, L"[%TOOTH_INFO48%]"},
        {L"a negative number", L"#[%TOOTH_INFO%]", -5, L"#-5"},
        {L"an empty template", L"", 11, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FillHealthPage(c.pageTemplate, c.tooth), c.page) << c.name;
    }
}

} // namespace
