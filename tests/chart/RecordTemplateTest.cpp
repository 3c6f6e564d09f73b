#include "chart/RecordTemplate.h"

#include "foundation/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::wstring FieldsOf(const CRecordTemplateInfo& info)
{
    std::wstring joined;
    for (const TemplateSection& section : TemplateSections) {
        joined += L"<" + info.*section.field + L">";
    }
    return joined;
}

CRecordTemplateInfo Filled()
{
    CRecordTemplateInfo info;
    info.body = L"  牙周：[%ppp%]\r\n齲齒：[%ccc%]\r\n  ";
    info.periSevere = L"重度";
    info.periModerate = L" 中度 ";
    info.periMild = L"輕度";
    info.none = L"無";
    info.prefix = L"#";
    info.postfix = L"。";
    return info;
}

TEST(RecordTemplate, SavedTextIsEveryMarkerPairInOrderEachEndedByCrLf)
{
    EXPECT_EQ(BuildTemplateText(CRecordTemplateInfo()),
              L"[%BODY_BGN%][%BODY_END%]\r\n[%PERI_SRS_BGN%][%PERI_SRS_END%]\r\n"
              L"[%PERI_MOD_BGN%][%PERI_MOD_END%]\r\n[%PERI_MILD_BGN%][%PERI_MILD_END%]\r\n"
              L"[%NONE_BGN%][%NONE_END%]\r\n[%PREFIX_BGN%][%PREFIX_END%]\r\n[%POSTFIX_BGN%][%POSTFIX_END%]\r\n");

    CRecordTemplateInfo info;
    info.body = L"B";
    info.none = L"N";
    info.postfix = L"P";
    const std::wstring text = BuildTemplateText(info);
    EXPECT_EQ(text.substr(0, 25), L"[%BODY_BGN%]B[%BODY_END%]");
    EXPECT_NE(text.find(L"\r\n[%NONE_BGN%]N[%NONE_END%]\r\n[%PREFIX_BGN%]"), std::wstring::npos);
    EXPECT_EQ(text.substr(text.size() - 33), L"[%POSTFIX_BGN%]P[%POSTFIX_END%]\r\n");
}

TEST(RecordTemplate, ParsingTheBuiltTextGivesBackEveryFieldVerbatim)
{
    for (const CRecordTemplateInfo& info : {CRecordTemplateInfo(), Filled()}) {
        CRecordTemplateInfo parsed;
        ParseTemplate(BuildTemplateText(info), &parsed);
        EXPECT_EQ(FieldsOf(parsed), FieldsOf(info));
    }
}

TEST(RecordTemplate, ParsingEdgeCases)
{
    const struct {
        const char* name;
        const wchar_t* text;
        const wchar_t* fields; // body, severe, moderate, mild, none, prefix, postfix
    } cases[] = {
        {"sections in any order", L"[%POSTFIX_BGN%]z[%POSTFIX_END%][%BODY_BGN%]a[%BODY_END%]", L"<a><><><><><><z>"},
        {"text outside the markers is ignored",
         L"head[%NONE_BGN%]n[%NONE_END%]between[%PREFIX_BGN%]p[%PREFIX_END%]tail", L"<><><><><n><p><>"},
        {"a section written twice: the first pair counts",
         L"[%NONE_BGN%]first[%NONE_END%][%NONE_BGN%]second[%NONE_END%]", L"<><><><><first><><>"},
        {"the end marker before the begin marker: absent, even with a later end marker",
         L"[%NONE_END%][%NONE_BGN%]x[%NONE_END%]", L"<><><><><><><>"},
        {"a begin marker without its end", L"[%BODY_BGN%]abc", L"<><><><><><><>"},
        {"markers in lower case are not recognised", L"[%body_bgn%]a[%body_end%]", L"<><><><><><><>"},
        {"a marker pair inside the body counts for its own section",
         L"[%BODY_BGN%]a[%NONE_BGN%]x[%NONE_END%]b[%BODY_END%][%NONE_BGN%]real[%NONE_END%]",
         L"<a[%NONE_BGN%]x[%NONE_END%]b><><><><x><><>"},
        {"the longest markers next to the shortest",
         L"[%PERI_MILD_BGN%][%PERI_MILD_END%][%PERI_SRS_BGN%]s[%PERI_SRS_END%]", L"<><s><><><><><>"},
        {"no markers at all", L"just text", L"<><><><><><><>"},
        {"empty text", L"", L"<><><><><><><>"},
    };
    for (const auto& c : cases) {
        CRecordTemplateInfo info = Filled();
        ParseTemplate(c.text, &info);
        EXPECT_EQ(FieldsOf(info), c.fields) << c.name;
    }
}

TEST(RecordTemplate, FindingSectionsTellsAbsentFromEmpty)
{
    const TemplateSectionTexts sections = FindTemplateSections(L"[%BODY_BGN%][%BODY_END%][%NONE_END%][%NONE_BGN%]");
    ASSERT_TRUE(sections[0].has_value());
    EXPECT_EQ(*sections[0], L"");
    for (size_t i = 1; i < TEMPLATE_SECTION_COUNT; ++i) {
        EXPECT_FALSE(sections[i].has_value()) << i;
    }
}

// A fresh folder under the temporary folder, removed with its contents.
class RecordTemplateFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / (std::string("quill-template-") + info->name() + "-" +
                                              std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string PathOf(const char* name) const { return (folder / name).string(); }

    void Write(const std::string& path, const std::string& bytes) const
    {
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::string Bytes(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    fs::path folder;
};

TEST_F(RecordTemplateFileTest, SaveWritesUtf8WithoutByteOrderMarkAndLoadGivesTheFieldsBack)
{
    const std::string path = PathOf("User.tpl");
    ASSERT_TRUE(SaveRecordTemplate(path.c_str(), Filled()));
    EXPECT_EQ(Bytes(path), WideToUtf8(BuildTemplateText(Filled())));
    EXPECT_EQ(Bytes(path).rfind("\xEF\xBB\xBF", 0), std::string::npos);

    CRecordTemplateInfo loaded;
    ASSERT_TRUE(LoadRecordTemplate(path.c_str(), &loaded));
    EXPECT_EQ(FieldsOf(loaded), FieldsOf(Filled()));
    EXPECT_EQ(fs::directory_iterator(folder)->path().filename(), "User.tpl");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(RecordTemplateFileTest, AFileWithAByteOrderMarkLoadsLikeOneWithout)
{
    const std::string text = WideToUtf8(BuildTemplateText(Filled()));
    const std::string plain = PathOf("plain.tpl");
    const std::string marked = PathOf("marked.tpl");
    Write(plain, text);
    Write(marked, "\xEF\xBB\xBF" + text);
    CRecordTemplateInfo fromPlain;
    CRecordTemplateInfo fromMarked;
    ASSERT_TRUE(LoadRecordTemplate(plain.c_str(), &fromPlain));
    ASSERT_TRUE(LoadRecordTemplate(marked.c_str(), &fromMarked));
    EXPECT_EQ(FieldsOf(fromMarked), FieldsOf(fromPlain));
    EXPECT_EQ(fromMarked.body, Filled().body);
}

TEST_F(RecordTemplateFileTest, AMissingFileIsNotReadAndLeavesTheFieldsAlone)
{
    CRecordTemplateInfo info = Filled();
    EXPECT_FALSE(LoadRecordTemplate(PathOf("missing.tpl").c_str(), &info));
    EXPECT_FALSE(LoadRecordTemplate(nullptr, &info));
    EXPECT_EQ(FieldsOf(info), FieldsOf(Filled()));
}

TEST_F(RecordTemplateFileTest, AFileWithoutMarkersIsReadWithEverySectionEmpty)
{
    const std::string path = PathOf("plain.txt");
    Write(path, "no sections here");
    CRecordTemplateInfo info = Filled();
    EXPECT_TRUE(LoadRecordTemplate(path.c_str(), &info));
    EXPECT_EQ(FieldsOf(info), L"<><><><><><><>");
}

TEST_F(RecordTemplateFileTest, AFailedSaveKeepsThePreviousTemplate)
{
    const std::string path = PathOf("User.tpl");
    Write(path, "previous template");
    // The temporary file's place is taken by a folder, so the write fails.
    fs::create_directory(path + ".tmp");
    EXPECT_FALSE(SaveRecordTemplate(path.c_str(), Filled()));
    EXPECT_EQ(Bytes(path), "previous template");

    EXPECT_FALSE(SaveRecordTemplate(PathOf("no-such-folder/User.tpl").c_str(), Filled()));
    EXPECT_FALSE(fs::exists(PathOf("no-such-folder")));
    EXPECT_FALSE(SaveRecordTemplate(nullptr, Filled()));
}

TEST_F(RecordTemplateFileTest, SaveReplacesAnOlderTemplateAndAStaleTemporaryFile)
{
    const std::string path = PathOf("User.tpl");
    Write(path, std::string(10000, 'x'));
    Write(path + ".tmp", std::string(20000, 'y'));
    ASSERT_TRUE(SaveRecordTemplate(path.c_str(), CRecordTemplateInfo()));
    EXPECT_EQ(Bytes(path), WideToUtf8(BuildTemplateText(CRecordTemplateInfo())));
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

} // namespace
