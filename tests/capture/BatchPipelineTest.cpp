// The batch dialog's pipelined run against the one-file route (SharpenFile
// for each listed file, one after the other) over the same folder: the same
// files with the same bytes, also when the run is closed early or meets
// files it cannot read.
#include "capture/BatchPipeline.h"
#include "capture/ProgressDlg.h"

#include "BitmapTestFiles.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using testutil::ReadBytes;
using testutil::ScratchFolder;

// Presses the close box once the dialog shows the given file (1 the first).
class CloseAtFile {
public:
    explicit CloseAtFile(int file)
    {
        closeAt = file;
        shown = 0;
        hook = SetWindowsHookExW(WH_CALLWNDPROC, Watch, nullptr, GetCurrentThreadId());
    }
    ~CloseAtFile() { UnhookWindowsHookEx(hook); }
    CloseAtFile(const CloseAtFile&) = delete;
    CloseAtFile& operator=(const CloseAtFile&) = delete;

private:
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_SETTEXT && GetParent(call->hwnd) == nullptr &&
            ++shown == closeAt) {
            PostMessageW(call->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static int closeAt;
    static int shown;
    HHOOK hook;
};

int CloseAtFile::closeAt = 0;
int CloseAtFile::shown = 0;

bool WriteJpegWithResolution(const std::wstring& path, uint32_t width, uint32_t height, float dpiX, float dpiY)
{
    TestImage image = MakeStructuredImage(width, height);
    auto bitmap = testimage::MakeBitmap(image);
    return bitmap->SetResolution(dpiX, dpiY) == Gdiplus::Ok && testimage::SaveAs(*bitmap, path, L"image/jpeg");
}

bool WritePngWithAlpha(const std::wstring& path, uint32_t width, uint32_t height)
{
    TestImage image = MakeStructuredImage(width, height);
    auto bitmap = testimage::MakeBitmap(image);
    std::unique_ptr<Gdiplus::Bitmap> withAlpha(
        bitmap->Clone(0, 0, static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB));
    return withAlpha && testimage::SaveAs(*withAlpha, path, L"image/png");
}

class BatchPipelineTest : public testing::Test {
protected:
    // The pipelined run of the dialog over `source` into `pipelined`, then
    // the one-file route over the files it listed into `oneFile`.
    INT_PTR RunBothRoutes(int closeAtFile = 0)
    {
        CProgressDlg dialog;
        dialog.sourceFolder = source.Path();
        dialog.targetFolder = pipelined.Path();
        INT_PTR result = 0;
        if (closeAtFile > 0) {
            const CloseAtFile closer(closeAtFile);
            result = dialog.DoModal();
        } else {
            result = dialog.DoModal();
        }
        writtenAtReturn = testutil::EntriesIn(pipelined.Path());
        listed = dialog.files;
        processed = dialog.nextIndex;

        CProgressDlg alone;
        alone.sourceFolder = source.Path() + L"\\";
        alone.targetFolder = oneFile.Path() + L"\\";
        for (int i = 0; i < processed; ++i) {
            alone.SharpenFile(listed[static_cast<size_t>(i)]);
        }
        return result;
    }

    void ExpectSameOutputs()
    {
        const std::set<std::wstring> written = testutil::EntriesIn(pipelined.Path());
        EXPECT_EQ(written, testutil::EntriesIn(oneFile.Path()));
        for (const std::wstring& name : written) {
            EXPECT_TRUE(ReadBytes(pipelined.File(name)) == ReadBytes(oneFile.File(name))) << "bytes differ: " << name;
        }
    }

    ScratchFolder source;
    ScratchFolder pipelined;
    ScratchFolder oneFile;
    // What the target folder held when DoModal returned.
    std::set<std::wstring> writtenAtReturn;
    std::vector<std::wstring> listed;
    int processed = 0;
};

TEST_F(BatchPipelineTest, WritesTheBytesTheOneFileRouteWrites)
{
    // Rows that are not a multiple of four bytes, resolutions the encoder
    // writes back, and formats that are not 24-bit in memory.
    ASSERT_TRUE(WriteJpegWithResolution(source.File(L"odd width.jpg"), 641, 333, 96, 96));
    ASSERT_TRUE(WriteJpegWithResolution(source.File(L"dense.jpg"), 400, 300, 200, 150));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"plain.png"), L"image/png", 320, 200));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"plain.bmp"), L"image/bmp", 301, 117));
    ASSERT_TRUE(WritePngWithAlpha(source.File(L"alpha.png"), 250, 170));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"large.jpg"), L"image/jpeg", 1500, 750));

    EXPECT_EQ(RunBothRoutes(), IDOK);
    EXPECT_EQ(processed, 6);
    EXPECT_EQ(testutil::EntriesIn(pipelined.Path()),
              (std::set<std::wstring>{L"odd width.jpg", L"dense.jpg", L"plain.png", L"plain.bmp", L"alpha.png",
                                      L"large.jpg"}));
    ExpectSameOutputs();
}

TEST_F(BatchPipelineTest, ClosingWhileAFileIsInTheEncoderLeavesItWholeAndNothingPartial)
{
    for (const wchar_t* name : {L"p1.jpg", L"p2.jpg", L"p3.jpg", L"p4.jpg"}) {
        ASSERT_TRUE(testimage::WriteImageFile(source.File(name), L"image/jpeg", 2000, 1000));
    }
    // The close comes as the second file shows: the first is in the encoder
    // and the second goes there as the tick ends.
    EXPECT_EQ(RunBothRoutes(2), IDCANCEL);
    ASSERT_EQ(processed, 2);
    EXPECT_EQ(writtenAtReturn, (std::set<std::wstring>{listed[0], listed[1]}));
    ExpectSameOutputs();
    EXPECT_EQ(testutil::EntriesIn(source.Path()).size(), 4u);
}

TEST_F(BatchPipelineTest, FilesThatCannotBeReadAreSkippedAmongGoodOnes)
{
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a good.jpg"), L"image/jpeg", 600, 300));
    testutil::WriteBytes(source.File(L"b notes.txt"), "not an image\r\n");
    testutil::WriteBytes(source.File(L"c empty.jpg"), "");
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"d good.png"), L"image/png", 300, 200));
    const std::string jpeg = ReadBytes(source.File(L"a good.jpg"));
    testutil::WriteBytes(source.File(L"e header only.jpg"), jpeg.substr(0, 64));
    testutil::WriteBytes(source.File(L"f cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"g locked.jpg"), L"image/jpeg", 200, 100));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"h good.jpg"), L"image/jpeg", 500, 250));
    HANDLE holder = CreateFileW(source.File(L"g locked.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_EQ(RunBothRoutes(), IDOK);
    CloseHandle(holder);
    EXPECT_EQ(processed, 8);

    const std::set<std::wstring> written = testutil::EntriesIn(pipelined.Path());
    for (const wchar_t* good : {L"a good.jpg", L"d good.png", L"h good.jpg"}) {
        EXPECT_EQ(written.count(good), 1u) << good;
    }
    for (const wchar_t* unreadable : {L"b notes.txt", L"c empty.jpg", L"e header only.jpg", L"g locked.jpg"}) {
        EXPECT_EQ(written.count(unreadable), 0u) << unreadable;
    }
    ExpectSameOutputs();
}

TEST(BatchPipelineLoanTest, LendsEveryFileInOrderAndWritesOnlyWhatComesBackProcessed)
{
    ScratchFolder source;
    ScratchFolder target;
    const struct {
        const wchar_t* name;
        uint32_t width;
        uint32_t height;
        bool processed;
    } files[] = {{L"a.jpg", 100, 70, true},
                 {L"b.txt", 0, 0, false},
                 {L"c.jpg", 120, 80, false},
                 {L"d.png", 90, 60, true},
                 {L"e.jpg", 80, 50, true}};
    std::vector<std::wstring> names;
    for (const auto& file : files) {
        names.push_back(file.name);
        if (file.width == 0) {
            testutil::WriteBytes(source.File(file.name), "not an image\r\n");
        } else {
            ASSERT_TRUE(testimage::WriteImageFile(
                source.File(file.name), file.name[2] == L'p' ? L"image/png" : L"image/jpeg", file.width, file.height));
        }
    }

    CBatchPipeline pipeline;
    PixelView pixels;
    EXPECT_FALSE(pipeline.TakeNext(pixels)) << "nothing started";
    pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", names, 3, size_t{64} << 20);
    // The last file is never taken: stopping drops it.
    for (size_t i = 0; i + 1 < std::size(files); ++i) {
        ASSERT_TRUE(pipeline.TakeNext(pixels)) << files[i].name;
        EXPECT_EQ(pixels.width, files[i].width) << files[i].name;
        EXPECT_EQ(pixels.height, files[i].height) << files[i].name;
        pipeline.GiveBack(files[i].processed);
    }
    pipeline.Finish();
    EXPECT_EQ(testutil::EntriesIn(target.Path()), (std::set<std::wstring>{L"a.jpg", L"d.png"}));
    EXPECT_FALSE(pipeline.TakeNext(pixels)) << "finished";
}

} // namespace
