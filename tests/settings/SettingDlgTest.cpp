// The settings dialog run modally over the process's settings, loaded from
// and written to the user's copy of "Setting.ini" in the throwaway prefix.
// Choices are made with the keys the user would press in a list; the file is
// checked as the end of the program writes it.
#include "settings/SettingDlg.h"

#include "DialogRun.h"
#include "WinTestUtil.h"
#include "capture/ToolbarDlg.h"
#include "foundation/SystemSetting.h"
#include "res/resource.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using capturetest::TimerScript;
using dialogtest::Click;
using dialogtest::ControlText;
using dialogtest::RunDialog;

std::wstring VantorelFolder()
{
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::wstring(appData) + L"\\Vantorel";
}

std::wstring UserCopy()
{
    return VantorelFolder() + L"\\Quillmere\\Setting.ini";
}

std::wstring StoredKey(const wchar_t* key)
{
    wchar_t text[64] = {};
    GetPrivateProfileStringW(L"SYSTEM", key, L"<absent>", text, 64, UserCopy().c_str());
    return text;
}

// The four keys of the dialog as the file holds them.
std::vector<std::wstring> StoredChoices()
{
    return {StoredKey(L"UPDATENFY"), StoredKey(L"MISSEND"), StoredKey(L"CAPTUREBAR"), StoredKey(L"CLIPBOARDTOKEN")};
}

const char kDefaultsFile[] = "[CAPTURE]\r\nRECTX=0\r\nRECTY=0\r\nRECTW=0\r\nRECTH=0\r\n"
                             "[SYSTEM]\r\nUPDATENFY=0\r\nMISSEND=0\r\nCAPTUREBAR=1\r\nCLIPBOARDTOKEN=1\r\n";

// updateNotify, missEnd, captureBar, clipboardToken, dirty
using Settings = std::tuple<int, bool, bool, bool, bool>;

Settings CurrentSettings()
{
    return {g_systemSetting.updateNotify, g_systemSetting.missEnd, g_systemSetting.captureBar,
            g_systemSetting.clipboardToken, g_systemSetting.dirty};
}

constexpr int COMBOS[] = {IDC_COMBO_UPDATE_NOTIFY, IDC_COMBO_MISS_END, IDC_COMBO_CAPTURE_BAR,
                          IDC_COMBO_CLIPBOARD_TOKEN};

std::vector<std::wstring> ShownChoices(const CDialogEx& dialog)
{
    std::vector<std::wstring> shown;
    for (int combo : COMBOS) {
        shown.push_back(ControlText(dialog.GetDlgItem(combo)));
    }
    return shown;
}

std::vector<std::wstring> Items(const CDialogEx& dialog, int combo)
{
    std::vector<std::wstring> items;
    const LRESULT count = SendDlgItemMessageW(dialog.GetSafeHwnd(), combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        SendDlgItemMessageW(dialog.GetSafeHwnd(), combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// A key pressed in the list's edit field, as the keyboard delivers it.
TimerScript::Step PressKey(const CDialogEx& dialog, int combo, WPARAM key)
{
    return [&dialog, combo, key] {
        const HWND list = dialog.GetDlgItem(combo);
        HWND field = GetWindow(list, GW_CHILD);
        if (field == nullptr) {
            field = list;
        }
        SetFocus(field);
        PostMessageW(field, WM_KEYDOWN, key, 1);
        PostMessageW(field, WM_KEYUP, key, 0xC0000001);
        return true;
    };
}

// The list tells its dialog that `index` is chosen, as it does when the user
// picks an item with the mouse, also the item already shown.
TimerScript::Step Choose(const CDialogEx& dialog, int combo, int index)
{
    return [&dialog, combo, index] {
        const HWND list = dialog.GetDlgItem(combo);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        return true;
    };
}

class SettingDlgTest : public testing::Test {
protected:
    void SetUp() override
    {
        testutil::RemoveTree(VantorelFolder());
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        SetCurrentDirectoryW(workDir.Path().c_str());
    }

    void TearDown() override
    {
        SetCurrentDirectoryW(previousDirectory);
        testutil::RemoveTree(VantorelFolder());
        g_systemSetting.dirty = false;
    }

    // The process's settings as a start with this user's copy loads them.
    void LoadUserCopy(const std::string& text)
    {
        ASSERT_TRUE(CreateDirectoryW(VantorelFolder().c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((VantorelFolder() + L"\\Quillmere").c_str(), nullptr));
        testutil::WriteBytes(UserCopy(), text);
        ASSERT_TRUE(g_systemSetting.Load());
        ASSERT_FALSE(g_systemSetting.dirty);
    }

    testutil::ScratchFolder workDir;
    wchar_t previousDirectory[MAX_PATH] = {};
};

const std::vector<std::wstring> kUpdateItems = {L"有重大更新時，才通知", L"有更新時，都通知"};
const std::vector<std::wstring> kMissEndItems = {L"忽略", L"不忽略"};
const std::vector<std::wstring> kCaptureBarItems = {L"程式開啟時，顯示擷取工具列", L"程式開啟時，不顯示擷取工具列"};
const std::vector<std::wstring> kTokenItems = {L"不加入特殊標示符號於剪貼簿", L"加入特殊標示符號於剪貼簿"};

TEST_F(SettingDlgTest, EachListHoldsItsTwoChoicesInOrderAndShowsTheStoredOne)
{
    struct Case {
        const char* what;
        const char* file;
        std::vector<std::wstring> shown;
    };
    const Case cases[] = {
        {"a first run's defaults", nullptr, {kUpdateItems[0], kMissEndItems[0], kCaptureBarItems[0], kTokenItems[1]}},
        {"every setting the other way",
         "[SYSTEM]\r\nUPDATENFY=1\r\nMISSEND=1\r\nCAPTUREBAR=0\r\nCLIPBOARDTOKEN=0\r\n",
         {kUpdateItems[1], kMissEndItems[1], kCaptureBarItems[1], kTokenItems[0]}},
    };
    for (const Case& c : cases) {
        testutil::RemoveTree(VantorelFolder());
        if (c.file != nullptr) {
            LoadUserCopy(c.file);
        } else {
            ASSERT_TRUE(g_systemSetting.Load());
        }
        const Settings before = CurrentSettings();
        std::vector<std::wstring> shown;
        std::vector<std::vector<std::wstring>> items;
        CSettingDlg dialog;
        const auto run = RunDialog(dialog, {[&] {
                                                shown = ShownChoices(dialog);
                                                for (int combo : COMBOS) {
                                                    items.push_back(Items(dialog, combo));
                                                }
                                                return true;
                                            },
                                            Click(dialog, IDOK)});
        EXPECT_EQ(run.result, IDOK) << c.what;
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(items,
                  (std::vector<std::vector<std::wstring>>{kUpdateItems, kMissEndItems, kCaptureBarItems, kTokenItems}))
            << c.what;
        EXPECT_EQ(CurrentSettings(), before) << c.what;
    }
}

TEST_F(SettingDlgTest, AChoiceIsStoredAtOnceKeptByEitherButtonAndWrittenAtExit)
{
    struct Case {
        const char* what;
        int combo;
        WPARAM key;
        int closeWith;
        std::wstring shownAfter;
        Settings settingsAfter;
        std::vector<std::wstring> file;
    };
    const Case cases[] = {
        {"report missing wisdom teeth, then cancel",
         IDC_COMBO_MISS_END,
         VK_DOWN,
         IDCANCEL,
         kMissEndItems[1],
         {0, true, true, true, true},
         {L"0", L"1", L"1", L"1"}},
        {"every update, then OK",
         IDC_COMBO_UPDATE_NOTIFY,
         VK_DOWN,
         IDOK,
         kUpdateItems[1],
         {1, false, true, true, true},
         {L"1", L"0", L"1", L"1"}},
        {"no toolbar at start, then cancel",
         IDC_COMBO_CAPTURE_BAR,
         VK_DOWN,
         IDCANCEL,
         kCaptureBarItems[1],
         {0, false, false, true, true},
         {L"0", L"0", L"0", L"1"}},
        {"no marker, then OK",
         IDC_COMBO_CLIPBOARD_TOKEN,
         VK_UP,
         IDOK,
         kTokenItems[0],
         {0, false, true, false, true},
         {L"0", L"0", L"1", L"0"}},
    };
    for (const Case& c : cases) {
        testutil::RemoveTree(VantorelFolder());
        LoadUserCopy(kDefaultsFile);
        std::wstring shown;
        Settings whileOpen{};
        CSettingDlg dialog;
        const auto run = RunDialog(dialog, {PressKey(dialog, c.combo, c.key),
                                            [&] {
                                                shown = ControlText(dialog.GetDlgItem(c.combo));
                                                whileOpen = CurrentSettings();
                                                return true;
                                            },
                                            Click(dialog, c.closeWith)});
        EXPECT_EQ(run.result, c.closeWith) << c.what;
        EXPECT_EQ(shown, c.shownAfter) << c.what;
        EXPECT_EQ(whileOpen, c.settingsAfter) << c.what;
        EXPECT_EQ(CurrentSettings(), c.settingsAfter) << c.what;

        ASSERT_TRUE(g_systemSetting.Save()) << c.what;
        EXPECT_EQ(StoredChoices(), c.file) << c.what;
    }
}

TEST_F(SettingDlgTest, ChoosingWhatIsAlreadyStoredMarksNothingAndNoSelectionReadsAsTheSecondItem)
{
    struct Case {
        const char* what;
        int combo;
        int index; // chosen; CB_ERR is no selection
        Settings settingsAfter;
    };
    const Case cases[] = {
        {"update notice as shown", IDC_COMBO_UPDATE_NOTIFY, 0, {0, false, true, true, false}},
        {"wisdom teeth as shown", IDC_COMBO_MISS_END, 0, {0, false, true, true, false}},
        {"toolbar as shown", IDC_COMBO_CAPTURE_BAR, 0, {0, false, true, true, false}},
        {"marker as shown", IDC_COMBO_CLIPBOARD_TOKEN, 1, {0, false, true, true, false}},
        {"no selection in the wisdom teeth list", IDC_COMBO_MISS_END, CB_ERR, {0, true, true, true, true}},
        {"no selection in the toolbar list", IDC_COMBO_CAPTURE_BAR, CB_ERR, {0, false, false, true, true}},
        {"no selection in the marker list", IDC_COMBO_CLIPBOARD_TOKEN, CB_ERR, {0, false, true, true, false}},
    };
    for (const Case& c : cases) {
        testutil::RemoveTree(VantorelFolder());
        LoadUserCopy(kDefaultsFile);
        CSettingDlg dialog;
        RunDialog(dialog, {Choose(dialog, c.combo, c.index), Click(dialog, IDCANCEL)});
        EXPECT_EQ(CurrentSettings(), c.settingsAfter) << c.what;
        ASSERT_TRUE(g_systemSetting.Save()) << c.what;
        // An unchanged store leaves the file as it was.
        if (!std::get<4>(c.settingsAfter)) {
            EXPECT_EQ(testutil::ReadBytes(UserCopy()), kDefaultsFile) << c.what;
        }
    }
}

TEST_F(SettingDlgTest, NoToolbarAtStartLeavesTheShowingToolbarShown)
{
    LoadUserCopy(kDefaultsFile);
    CToolbarDlg toolbar;
    ASSERT_TRUE(toolbar.CreateToolbar(nullptr, nullptr, FALSE));
    ShowWindow(toolbar.GetSafeHwnd(), SW_SHOWNOACTIVATE);
    bool shownWhileOpen = false;
    CSettingDlg dialog;
    RunDialog(dialog, {PressKey(dialog, IDC_COMBO_CAPTURE_BAR, VK_DOWN),
                       [&] {
                           shownWhileOpen = IsWindowVisible(toolbar.GetSafeHwnd()) != FALSE;
                           return true;
                       },
                       Click(dialog, IDOK)});
    EXPECT_FALSE(g_systemSetting.captureBar);
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_TRUE(IsWindowVisible(toolbar.GetSafeHwnd()));
}

} // namespace
