// The receiving side of the hand-off on the real main dialog: WM_COPYDATA
// makes a path pending, and the open-file timer opens it once.
#include "app/TarnwickDlg.h"
#include "app/AppIds.h"
#include "app/TarnwickApp.h"

#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

// The main dialog with a record of the paths it opened; `duringOpen` runs
// inside the first open, where the real open runs nested message loops.
class OpenRecordingDlg : public CTarnwickDlg {
public:
    void OnOpenImage(const std::wstring& path) override
    {
        opened.push_back(path);
        if (duringOpen) {
            std::exchange(duringOpen, nullptr)();
        }
        CTarnwickDlg::OnOpenImage(path);
    }

    std::vector<std::wstring> opened;
    std::function<void()> duringOpen;
};

class MainDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(theApp.RegisterDialogClass());
        ASSERT_TRUE(dialog.Create());
    }

    LRESULT SendPath(const std::wstring& text, ULONG_PTR dwData = 0, DWORD cbData = 0)
    {
        std::vector<wchar_t> buffer(text.begin(), text.end());
        buffer.push_back(L'\0');
        COPYDATASTRUCT data{dwData, cbData != 0 ? cbData : static_cast<DWORD>(buffer.size() * sizeof(wchar_t)),
                            buffer.data()};
        return SendMessageW(dialog.GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    bool WaitUntilOpened()
    {
        return testutil::PumpUntil([this] { return dialog.pendingFilePath.empty(); }, 5000);
    }

    // Whether the open-file timer is still armed: once it is gone nothing can
    // open, however long one waits. KillTimer tells whether it found one.
    bool OpenTimerArmed() { return KillTimer(dialog.GetSafeHwnd(), TIMER_OPEN_FILE) != FALSE; }

    OpenRecordingDlg dialog;
};

TEST_F(MainDialogTest, TheWindowIsOfTheClassThatLaterStartsLookFor)
{
    wchar_t className[64] = {};
    GetClassNameW(dialog.GetSafeHwnd(), className, 64);
    EXPECT_STREQ(className, L"TARNWICKDLG_CLASS");
    EXPECT_EQ(FindWindowW(L"TARNWICKDLG_CLASS", nullptr), dialog.GetSafeHwnd());
}

TEST_F(MainDialogTest, OfTheFilterCheckBoxesOnlyUnknownStartsVisible)
{
    for (int id = 1006; id <= 1017; ++id) {
        EXPECT_FALSE(GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE) & WS_VISIBLE) << id;
    }
    EXPECT_TRUE(GetWindowLongW(dialog.GetDlgItem(1018), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(MainDialogTest, AHandOffMakesThePathPendingAndTheTimerOpensIt)
{
    SendPath(L"C:\\scans\\pano 1.jpg");
    EXPECT_EQ(dialog.pendingFilePath, L"C:\\scans\\pano 1.jpg");
    ASSERT_TRUE(WaitUntilOpened());
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere - C:\\scans\\pano 1.jpg");
}

TEST_F(MainDialogTest, TwoQuickHandOffsOpenOnlyTheSecondPath)
{
    SendPath(L"C:\\first.jpg");
    SendPath(L"C:\\second.jpg");
    EXPECT_EQ(dialog.pendingFilePath, L"C:\\second.jpg");
    ASSERT_TRUE(WaitUntilOpened());
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere - C:\\second.jpg");
    // The one-shot timer is gone: nothing opens again.
    EXPECT_FALSE(OpenTimerArmed());
    EXPECT_EQ(dialog.opened, std::vector<std::wstring>{L"C:\\second.jpg"});
}

TEST_F(MainDialogTest, AHandOffWithOtherDataOrNoTextChangesNothing)
{
    SendPath(L"C:\\x.jpg", 1);
    EXPECT_TRUE(dialog.pendingFilePath.empty());

    COPYDATASTRUCT empty{0, 8, nullptr};
    SendMessageW(dialog.GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty));
    EXPECT_TRUE(dialog.pendingFilePath.empty());
    SendMessageW(dialog.GetSafeHwnd(), WM_COPYDATA, 0, 0);
    EXPECT_TRUE(dialog.pendingFilePath.empty());
}

TEST_F(MainDialogTest, AnEmptyHandOffLeavesThePendingPathAlone)
{
    SendPath(L"C:\\kept.jpg");
    const wchar_t startsWithNul[] = L"\0C:\\other.jpg";
    const struct {
        const wchar_t* text;
        DWORD cbData;
    } empties[] = {{L"", 0}, {L"", 1}, {L"", 2}, {startsWithNul, sizeof(startsWithNul)}};
    for (const auto& empty : empties) {
        COPYDATASTRUCT data{0, empty.cbData, const_cast<wchar_t*>(empty.text)};
        SendMessageW(dialog.GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        EXPECT_EQ(dialog.pendingFilePath, L"C:\\kept.jpg") << "cbData " << empty.cbData;
    }
    ASSERT_TRUE(WaitUntilOpened());
    EXPECT_EQ(dialog.opened, std::vector<std::wstring>{L"C:\\kept.jpg"});
}

TEST_F(MainDialogTest, AHandOffThatArrivesWhileAPathOpensIsOpenedNext)
{
    dialog.duringOpen = [this] { SendPath(L"C:\\during.jpg"); };
    SendPath(L"C:\\first.jpg");
    ASSERT_TRUE(testutil::PumpUntil([this] { return dialog.opened.size() == 2; }, 5000));
    EXPECT_EQ(dialog.opened, (std::vector<std::wstring>{L"C:\\first.jpg", L"C:\\during.jpg"}));
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere - C:\\during.jpg");
}

TEST_F(MainDialogTest, AHandOffNeverReadsBeyondItsByteCount)
{
    // Six bytes: three UTF-16 units and no terminating NUL within them.
    SendPath(L"abcdef", 0, 6);
    EXPECT_EQ(dialog.pendingFilePath, L"abc");
    // An odd count covers only whole units.
    SendPath(L"abcdef", 0, 5);
    EXPECT_EQ(dialog.pendingFilePath, L"ab");
}

TEST_F(MainDialogTest, ClosingStopsAPendingOpen)
{
    SendPath(L"C:\\late.jpg");
    const std::wstring title = dialog.GetWindowText();
    SendMessageW(dialog.GetSafeHwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(OpenTimerArmed());
    EXPECT_EQ(dialog.GetWindowText(), title);
    EXPECT_TRUE(dialog.opened.empty());
}

} // namespace
