// The batch dialog run in-process over folders the test fills: what it
// writes, the captions it shows, and how it ends.
#include "capture/ProgressDlg.h"

#include "BitmapTestFiles.h"
#include "WinTestUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using testutil::ReadBytes;
using testutil::ScratchFolder;

// Records every caption the dialogs of this thread are given and, when asked,
// presses the close box as soon as the first file shows.
class CaptionRecorder {
public:
    explicit CaptionRecorder(bool closeAtFirstFile = false)
    {
        closeAtFirst = closeAtFirstFile;
        captions.clear();
        hook = SetWindowsHookExW(WH_CALLWNDPROC, Record, nullptr, GetCurrentThreadId());
    }
    ~CaptionRecorder() { UnhookWindowsHookEx(hook); }
    CaptionRecorder(const CaptionRecorder&) = delete;
    CaptionRecorder& operator=(const CaptionRecorder&) = delete;

    static std::vector<std::wstring> captions;

private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_SETTEXT && call->lParam != 0 && GetParent(call->hwnd) == nullptr) {
            captions.emplace_back(reinterpret_cast<const wchar_t*>(call->lParam));
            if (closeAtFirst && captions.size() == 1) {
                PostMessageW(call->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static bool closeAtFirst;
    HHOOK hook;
};

std::vector<std::wstring> CaptionRecorder::captions;
bool CaptionRecorder::closeAtFirst = false;

class ProgressDlgTest : public testing::Test {
protected:
    void FillSource()
    {
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"pano one.jpg"), L"image/jpeg", 160, 90));
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"scan02.png"), L"image/png", 120, 80));
        testutil::WriteBytes(source.File(L"notes.txt"), "not an image\r\n");
        ASSERT_TRUE(CreateDirectoryW(source.File(L"older").c_str(), nullptr));
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"older\\inner.jpg"), L"image/jpeg", 40, 30));
    }

    ScratchFolder source;
    ScratchFolder target;
};

TEST_F(ProgressDlgTest, WritesJpegDataUnderTheSameNamesForTheImagesOnly)
{
    FillSource();
    CProgressDlg dialog;
    dialog.sourceFolder = L"  " + source.Path() + L"  ";
    dialog.targetFolder = L"\t" + target.Path() + L" ";
    CaptionRecorder recorder;
    EXPECT_EQ(dialog.DoModal(), IDOK);

    EXPECT_EQ(dialog.sourceFolder, source.Path() + L"\\");
    EXPECT_EQ(dialog.targetFolder, target.Path() + L"\\");
    const std::set<std::wstring> listed(dialog.files.begin(), dialog.files.end());
    EXPECT_EQ(listed, (std::set<std::wstring>{L"notes.txt", L"pano one.jpg", L"scan02.png"}));
    ASSERT_EQ(dialog.fileCount, 3);

    std::vector<std::wstring> expectedCaptions;
    for (size_t i = 0; i < dialog.files.size(); ++i) {
        expectedCaptions.push_back(L"[" + std::to_wstring(i + 1) + L"/3]--" + dialog.files[i]);
    }
    EXPECT_EQ(CaptionRecorder::captions, expectedCaptions);

    EXPECT_EQ(testutil::EntriesIn(target.Path()), (std::set<std::wstring>{L"pano one.jpg", L"scan02.png"}));
    for (const wchar_t* name : {L"pano one.jpg", L"scan02.png"}) {
        const std::string written = ReadBytes(target.File(name));
        EXPECT_TRUE(testimage::IsJpegData(written)) << name;
        Gdiplus::Bitmap decoded(target.File(name).c_str());
        EXPECT_EQ(decoded.GetLastStatus(), Gdiplus::Ok);
    }
    // The sources themselves are left as they were.
    EXPECT_FALSE(testimage::IsJpegData(ReadBytes(source.File(L"scan02.png"))));
}

TEST_F(ProgressDlgTest, AnEmptyOrMissingSourceEndsAtTheFirstTick)
{
    for (const std::wstring& folder : {source.Path(), source.Path() + L"\\nowhere"}) {
        CProgressDlg dialog;
        dialog.sourceFolder = folder;
        dialog.targetFolder = target.Path();
        CaptionRecorder recorder;
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.fileCount, 0);
        EXPECT_TRUE(CaptionRecorder::captions.empty());
    }
}

TEST_F(ProgressDlgTest, TheSameFolderAsTargetLosesNoFile)
{
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a.png"), L"image/png", 100, 70));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"b.jpg"), L"image/jpeg", 100, 70));
    // A file another program holds open without letting it be replaced: the
    // write fails and the source stays as it was.
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"kept.jpg"), L"image/jpeg", 100, 70));
    const std::string keptBytes = ReadBytes(source.File(L"kept.jpg"));
    const std::string jpegBytes = ReadBytes(source.File(L"b.jpg"));
    HANDLE holder = CreateFileW(source.File(L"kept.jpg").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    CProgressDlg dialog;
    dialog.sourceFolder = source.Path();
    dialog.targetFolder = source.Path();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    CloseHandle(holder);

    EXPECT_EQ(testutil::EntriesIn(source.Path()), (std::set<std::wstring>{L"a.png", L"b.jpg", L"kept.jpg"}));
    EXPECT_TRUE(testimage::IsJpegData(ReadBytes(source.File(L"a.png"))));
    const std::string rewritten = ReadBytes(source.File(L"b.jpg"));
    EXPECT_TRUE(testimage::IsJpegData(rewritten));
    EXPECT_TRUE(rewritten != jpegBytes) << "b.jpg was not processed";
    EXPECT_TRUE(ReadBytes(source.File(L"kept.jpg")) == keptBytes) << "a file held open was replaced";
}

TEST_F(ProgressDlgTest, TheCloseBoxEndsTheBatchAfterTheFileUnderWay)
{
    FillSource();
    CProgressDlg dialog;
    dialog.sourceFolder = source.Path();
    dialog.targetFolder = target.Path();
    CaptionRecorder recorder(true);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.nextIndex, 1);
    EXPECT_EQ(CaptionRecorder::captions.size(), 1u);
}

TEST_F(ProgressDlgTest, ShowsTheCountOnTheBarAndIgnoresEnterAndEsc)
{
    FillSource();
    CProgressDlg dialog;
    dialog.sourceFolder = source.Path();
    dialog.targetFolder = target.Path();
    ASSERT_TRUE(dialog.Create());
    HWND bar = dialog.progress;
    ASSERT_NE(bar, nullptr);
    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 2);
    EXPECT_EQ(dialog.GetWindowText(), L"Sharpen Image");

    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            MSG msg{dialog.GetSafeHwnd(), message, key, 0, 0, {}};
            EXPECT_TRUE(dialog.PreTranslateMessage(&msg));
        }
    }
    MSG other{dialog.GetSafeHwnd(), WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(dialog.PreTranslateMessage(&other));

    ASSERT_TRUE(testutil::PumpUntil([&] { return dialog.nextIndex == 1; }, 10000));
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1);
}

} // namespace
