// The record template editor's boxes under Wine draw the full-width
// punctuation of a findings text as glyphs, not as the boxes a font without
// them draws. Leaves a screenshot of the editor in the build folder.
#include "chart/RecordTemplateDlg.h"
#include "res/resource.h"

#include "DialogRun.h"
#include "WinTestUtil.h"
#include "ui/Gdiplus.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using capturetest::Check;

// Unassigned in Unicode: no font has it, so every font draws its box.
constexpr wchar_t CERTAINLY_MISSING[] = L"\u0378";

// The window's own pixels as a PNG file, whatever other test programs show
// over it on the shared display.
void SaveWindowPicture(HWND window, const std::wstring& path)
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = testutil::ReadClientPixels(window, &width, &height);
    Gdiplus::Bitmap picture(width, height, width * 4, PixelFormat32bppRGB, reinterpret_cast<BYTE*>(pixels.data()));
    EXPECT_TRUE(testutil::SaveBitmapAs(picture, path, L"image/png"));
}

class TemplateEditorFontTest : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(folder.Path().c_str());
    }
    void TearDown() override { SetCurrentDirectoryW(previous); }

    testutil::ScratchFolder folder;
    wchar_t previous[MAX_PATH] = {};
};

TEST_F(TemplateEditorFontTest, TheBoxesDrawFullWidthPunctuationAsGlyphs)
{
    CRecordTemplateDlg editor;
    std::map<std::wstring, std::vector<uint32_t>> drawn;
    const auto draw = [&](const std::wstring& text) {
        return Check([&drawn, &editor, text] {
            const HWND body = editor.GetDlgItem(IDC_TEMPLATE_BODY);
            SetWindowTextW(body, text.c_str());
            int width = 0;
            int height = 0;
            drawn[text] = testutil::ReadClientPixels(body, &width, &height);
        });
    };
    const auto run = dialogtest::RunDialog(
        editor, {[&editor] { return IsWindowVisible(editor.GetSafeHwnd()) != FALSE; }, draw(L"："),
                 draw(L"，"), draw(CERTAINLY_MISSING), Check([&editor] {
                     SetWindowTextW(editor.GetDlgItem(IDC_TEMPLATE_BODY), L"牙位：11，齲齒。根管治療／填補。");
                     SaveWindowPicture(editor.GetSafeHwnd(),
                                       testutil::ProgramFolder() + L"\\template-editor-punctuation.png");
                 }),
                 dialogtest::Click(editor, IDCANCEL)});
    ASSERT_TRUE(run.scriptFinished);
    const std::vector<uint32_t>& box = drawn[CERTAINLY_MISSING];
    ASSERT_FALSE(box.empty());
    for (const wchar_t* mark : {L"：", L"，"}) {
        EXPECT_TRUE(drawn[mark] != box) << "drawn as a box: U+" << std::hex << static_cast<unsigned>(mark[0]);
    }
    EXPECT_TRUE(drawn[L"："] != drawn[L"，"]) << "both drawn alike";
}

} // namespace
