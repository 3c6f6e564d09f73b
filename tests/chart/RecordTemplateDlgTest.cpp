// The template editor run modally in a working directory the test fills,
// driven step by step from a timer of the test's thread.
#include "chart/RecordTemplateDlg.h"

#include "WinTestUtil.h"
#include "chart/RecordTemplate.h"
#include "foundation/Utf8.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr UINT STEP_MS = 100;
// After the last step, a window still open is closed after this many ticks,
// so that a failed step ends the test instead of hanging it.
constexpr int IDLE_TICKS_BEFORE_CLOSING = 50;
constexpr wchar_t EDITOR_CAPTION[] = L"病例模板編輯";
constexpr wchar_t MESSAGE_CAPTION[] = L"Vuzizudo";

using Step = std::function<void()>;

// Runs one step per timer tick while a modal loop of this thread pumps.
class StepRunner {
public:
    explicit StepRunner(std::vector<Step> steps)
    {
        pending = std::move(steps);
        next = 0;
        idleTicks = 0;
        timer = SetTimer(nullptr, 0, STEP_MS, Tick);
    }
    ~StepRunner() { KillTimer(nullptr, timer); }
    StepRunner(const StepRunner&) = delete;
    StepRunner& operator=(const StepRunner&) = delete;

    static bool Done() { return next == pending.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (next < pending.size()) {
            // The step may start a nested loop that ticks again.
            const Step step = pending[next++];
            step();
        } else if (++idleTicks > IDLE_TICKS_BEFORE_CLOSING) {
            EnumThreadWindows(GetCurrentThreadId(), CloseWindow, 0);
        }
    }

    static BOOL CALLBACK CloseWindow(HWND window, LPARAM)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return TRUE;
    }

    static std::vector<Step> pending;
    static size_t next;
    static int idleTicks;
    UINT_PTR timer;
};

std::vector<Step> StepRunner::pending;
size_t StepRunner::next = 0;
int StepRunner::idleTicks = 0;

HWND TopWindow(const wchar_t* caption)
{
    return testutil::FindVisibleWindow(L"#32770", caption);
}

HWND Editor()
{
    return TopWindow(EDITOR_CAPTION);
}

std::wstring BoxText(int id)
{
    wchar_t text[4096] = {};
    GetDlgItemTextW(Editor(), id, text, 4096);
    return text;
}

void SetBoxText(int id, const wchar_t* text)
{
    SetDlgItemTextW(Editor(), id, text);
}

void Click(int id)
{
    PostMessageW(Editor(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void PressEnterIn(int id)
{
    HWND box = GetDlgItem(Editor(), id);
    SetFocus(box);
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(box, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

constexpr int BOXES[] = {IDC_TEMPLATE_BODY,      IDC_TEMPLATE_PERI_SEVERE, IDC_TEMPLATE_PERI_MODERATE,
                         IDC_TEMPLATE_PERI_MILD, IDC_TEMPLATE_NONE,        IDC_TEMPLATE_PREFIX,
                         IDC_TEMPLATE_POSTFIX};

std::wstring AllBoxes()
{
    std::wstring joined;
    for (int box : BOXES) {
        joined += L"<" + BoxText(box) + L">";
    }
    return joined;
}

class RecordTemplateDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(folder.Path().c_str());
    }
    void TearDown() override { SetCurrentDirectoryW(previous); }

    void MakeRecordFolder() { ASSERT_TRUE(CreateDirectoryW(folder.File(L"Record").c_str(), nullptr)); }

    void WriteTemplate(const wchar_t* name, const std::string& text)
    {
        testutil::WriteBytes(folder.File(std::wstring(L"Record\\") + name), text);
    }

    std::string UserTemplate() const { return testutil::ReadBytes(folder.File(L"Record\\User.tpl")); }

    testutil::ScratchFolder folder;
    wchar_t previous[MAX_PATH] = {};
};

TEST_F(RecordTemplateDlgTest, APresetFillsTheBoxesAndSavingWritesTheUserTemplate)
{
    MakeRecordFolder();
    WriteTemplate(L"Default_01.tpl", "[%BODY_BGN%]牙周：[%ppp%]\r\n齲齒：[%ccc%][%BODY_END%]"
                                     "[%PERI_SRS_BGN%]重度[%PERI_SRS_END%][%PERI_MOD_BGN%]中度[%PERI_MOD_END%]"
                                     "[%PERI_MILD_BGN%]輕度[%PERI_MILD_END%][%NONE_BGN%]無[%NONE_END%]"
                                     "[%PREFIX_BGN%] #[%PREFIX_END%][%POSTFIX_BGN%]。 [%POSTFIX_END%]");
    std::wstring opened;
    std::wstring loaded;
    CRecordTemplateDlg dialog;
    StepRunner runner({
        [&] {
            opened = AllBoxes();
            PostMessageW(Editor(), WM_COMMAND, ID_TEMPLATE_KEY_FINDINGS, 0);
        },
        [&] {
            loaded = AllBoxes();
            Click(IDOK);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(StepRunner::Done());
    EXPECT_EQ(opened, L"<><><><><><><>");
    EXPECT_EQ(loaded, L"<牙周：[%ppp%]\r\n齲齒：[%ccc%]><重度><中度><輕度><無>< #><。 >");

    CRecordTemplateInfo saved;
    saved.body = L"牙周：[%ppp%]\r\n齲齒：[%ccc%]";
    saved.periSevere = L"重度";
    saved.periModerate = L"中度";
    saved.periMild = L"輕度";
    saved.none = L"無";
    saved.prefix = L" #";
    saved.postfix = L"。 ";
    EXPECT_EQ(UserTemplate(), WideToUtf8(BuildTemplateText(saved)));
}

TEST_F(RecordTemplateDlgTest, APresetLeavesTheBoxesOfItsMissingSectionsAndAMissingPresetChangesNothing)
{
    MakeRecordFolder();
    WriteTemplate(L"User.tpl", "[%BODY_BGN%]body[%BODY_END%][%PREFIX_BGN%]mine[%PREFIX_END%]");
    WriteTemplate(L"Default_03.tpl", "[%BODY_BGN%]checked[%BODY_END%][%NONE_BGN%]-[%NONE_END%]");
    std::wstring opened;
    std::wstring checked;
    std::wstring missing;
    CRecordTemplateDlg dialog;
    StepRunner runner({
        [&] {
            opened = AllBoxes();
            PostMessageW(Editor(), WM_COMMAND, ID_TEMPLATE_CHECKED, 0);
        },
        [&] {
            checked = AllBoxes();
            PostMessageW(Editor(), WM_COMMAND, ID_TEMPLATE_ALL_FINDINGS, 0);
        },
        [&] {
            missing = AllBoxes();
            Click(IDCANCEL);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(opened, L"<body><><><><><mine><>");
    EXPECT_EQ(checked, L"<checked><><><><-><mine><>");
    EXPECT_EQ(missing, checked);
}

TEST_F(RecordTemplateDlgTest, EnterMakesANewLineInTheBodyAndSavesFromAOneLineBox)
{
    MakeRecordFolder();
    std::wstring body;
    CRecordTemplateDlg dialog;
    StepRunner runner({
        [&] {
            SetBoxText(IDC_TEMPLATE_BODY, L"");
            PressEnterIn(IDC_TEMPLATE_BODY);
        },
        [&] {
            body = BoxText(IDC_TEMPLATE_BODY);
            PressEnterIn(IDC_TEMPLATE_NONE);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(body, L"\r\n");
    CRecordTemplateInfo saved;
    saved.body = L"\r\n";
    EXPECT_EQ(UserTemplate(), WideToUtf8(BuildTemplateText(saved)));
}

TEST_F(RecordTemplateDlgTest, AFailedSaveSaysSoAndKeepsTheEditorOpenWithItsTexts)
{
    // No Record folder: the user template cannot be written.
    bool messageShown = false;
    std::wstring afterMessage;
    CRecordTemplateDlg dialog;
    StepRunner runner({
        [&] {
            SetBoxText(IDC_TEMPLATE_BODY, L"keep me");
            Click(IDOK);
        },
        [&] {
            HWND message = TopWindow(MESSAGE_CAPTION);
            messageShown = message != nullptr;
            PostMessageW(message, WM_COMMAND, IDOK, 0);
        },
        [&] {
            afterMessage = Editor() != nullptr ? BoxText(IDC_TEMPLATE_BODY) : L"<closed>";
            Click(IDCANCEL);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(messageShown);
    EXPECT_EQ(afterMessage, L"keep me");
    EXPECT_FALSE(testutil::FileExists(folder.File(L"Record")));
}

} // namespace
