// The batch dialog run in-process over folders the test fills: what it
// writes, the captions it shows, and how it ends.
#include "capture/ProgressDlg.h"

#include "BitmapTestFiles.h"
#include "DriveLetter.h"
#include "WinTestUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
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

// Makes `folder` the current folder while it lives.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder)
    {
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        outer = previous;
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(outer.c_str()); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring outer;
};

// Deletes the file when it goes, however the test that made it ends.
class FileRemover {
public:
    explicit FileRemover(std::wstring path) : path(std::move(path)) {}
    ~FileRemover() { DeleteFileW(path.c_str()); }
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

private:
    std::wstring path;
};

TEST_F(ProgressDlgTest, WithoutASourceOrATargetFolderNothingIsTouched)
{
    // "\" would be the root of the current drive: an image lies there.
    const CurrentFolder current(source.Path());
    const std::wstring rootName = L"quill-root-" + std::to_wstring(GetCurrentProcessId()) + L".jpg";
    const std::wstring rootImage = source.Path().substr(0, 3) + rootName;
    const FileRemover rootImageRemover(rootImage);
    const FileRemover strayOutput(source.Path().substr(0, 3) + L"a.jpg");
    ASSERT_TRUE(testimage::WriteImageFile(rootImage, L"image/jpeg", 100, 70));
    const std::string rootBytes = ReadBytes(rootImage);
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a.jpg"), L"image/jpeg", 100, 70));

    const struct {
        std::wstring source;
        std::wstring target;
    } cases[] = {{L"", L""}, {L"  ", L"\t "}, {source.Path(), L""}, {L" ", target.Path()}};
    for (const auto& folders : cases) {
        CProgressDlg dialog;
        dialog.sourceFolder = folders.source;
        dialog.targetFolder = folders.target;
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.fileCount, 0);
        EXPECT_TRUE(ReadBytes(rootImage) == rootBytes) << "the image in the root was rewritten";
        EXPECT_FALSE(testutil::FileExists(source.Path().substr(0, 3) + L"a.jpg")) << "written into the root";
        EXPECT_TRUE(testutil::EntriesIn(target.Path()).empty());
    }
}

// A folder in memory (/dev/shm), another Unix file system than the one the
// temporary folder lies on: as between two drives on Windows, a file cannot
// be moved from one to the other.
class MemoryFolder {
public:
    MemoryFolder() : path(L"Z:\\dev\\shm\\quill-test-" + std::to_wstring(GetCurrentProcessId()))
    {
        testutil::RemoveTree(path);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~MemoryFolder() { testutil::RemoveTree(path); }
    MemoryFolder(const MemoryFolder&) = delete;
    MemoryFolder& operator=(const MemoryFolder&) = delete;

    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
};

// At the root of a drive the directory search gives no "." entry first: the
// first entry it gives is a file, and it is listed and processed too. A
// target on another drive gets every output whole.
TEST_F(ProgressDlgTest, ASourceFolderAtTheRootOfADriveListsEveryFile)
{
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a first.jpg"), L"image/jpeg", 120, 80));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"b.png"), L"image/png", 100, 60));
    testutil::WriteBytes(source.File(L"c notes.txt"), "not an image\r\n");
    ASSERT_TRUE(CreateDirectoryW(source.File(L"d folder").c_str(), nullptr));
    const DriveLetter drive(source.Path());
    ASSERT_FALSE(drive.Root().empty()) << "no drive letter could be mapped";
    const MemoryFolder memory;
    ASSERT_TRUE(testutil::FileExists(memory.Path()));
    const DriveLetter otherDrive(memory.Path());
    ASSERT_FALSE(otherDrive.Root().empty()) << "no second drive letter could be mapped";

    const struct {
        std::wstring source;
        std::wstring target;
        std::wstring targetListed;
    } cases[] = {{drive.Root(), target.Path(), target.Path()},
                 {drive.Root().substr(0, 2), target.Path(), target.Path()},
                 {drive.Root(), otherDrive.Root(), memory.Path()}};
    for (const auto& folders : cases) {
        for (const std::wstring& name : testutil::EntriesIn(folders.targetListed)) {
            DeleteFileW((folders.targetListed + L"\\" + name).c_str());
        }
        CProgressDlg dialog;
        dialog.sourceFolder = folders.source;
        dialog.targetFolder = folders.target;
        CaptionRecorder recorder;
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.sourceFolder, drive.Root());
        EXPECT_EQ(std::set<std::wstring>(dialog.files.begin(), dialog.files.end()),
                  (std::set<std::wstring>{L"a first.jpg", L"b.png", L"c notes.txt"}));
        EXPECT_EQ(CaptionRecorder::captions.size(), 3u);
        EXPECT_EQ(testutil::EntriesIn(folders.targetListed), (std::set<std::wstring>{L"a first.jpg", L"b.png"}))
            << "into " << std::string(folders.target.begin(), folders.target.end());
        EXPECT_EQ(testutil::EntriesIn(source.Path()),
                  (std::set<std::wstring>{L"a first.jpg", L"b.png", L"c notes.txt", L"d folder"}));
    }
}

TEST_F(ProgressDlgTest, ATargetFolderNearTheLengthLimitGetsEveryOutputThatFits)
{
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a.jpg"), L"image/jpeg", 100, 70));
    // The output path is the folder, a backslash and "a.jpg": it fits in
    // MAX_PATH up to a folder of 253 characters.
    const struct {
        size_t folderLength;
        bool written;
    } cases[] = {{250, true}, {253, true}, {254, false}};
    for (const auto& limit : cases) {
        const std::wstring folder =
            target.Path() + L"\\" + std::wstring(limit.folderLength - target.Path().size() - 1, L'x');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        CProgressDlg dialog;
        dialog.sourceFolder = source.Path();
        dialog.targetFolder = folder;
        EXPECT_EQ(dialog.DoModal(), IDOK);
        const std::set<std::wstring> expected =
            limit.written ? std::set<std::wstring>{L"a.jpg"} : std::set<std::wstring>{};
        EXPECT_EQ(testutil::EntriesIn(folder), expected) << limit.folderLength;
        if (limit.written) {
            EXPECT_TRUE(testimage::IsJpegData(ReadBytes(folder + L"\\a.jpg")));
        }
        testutil::RemoveTree(folder);
    }
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
    // Held at the first file for a picture of what the user sees.
    KillTimer(dialog.GetSafeHwnd(), 1);
    ShowWindow(dialog.GetSafeHwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(dialog.GetSafeHwnd());
    testutil::PumpFor(200);
    EXPECT_TRUE(testutil::SaveScreenshot(testutil::ProgramFolder() + L"\\batch-progress.png"));
}

} // namespace
