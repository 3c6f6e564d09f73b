// The batch dialog's pipelined run against the one-file route (SharpenFile
// for each listed file, one after the other) over the same folder: the same
// files with the same bytes, also when the run is closed early or meets
// files it cannot read.
#include "capture/BatchPipeline.h"
#include "capture/BatchFiles.h"
#include "capture/EffectKernels.h"
#include "capture/ProgressDlg.h"
#include "capture/SEffect.h"

#include "BitmapTestFiles.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <set>
#include <string>
#include <thread>
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
    ASSERT_TRUE(testimage::WriteImageFileAs(source.File(L"grey.jpg"), testimage::OtherFormat::GreyJpeg, 641, 333));
    ASSERT_TRUE(testimage::WriteImageFileAs(source.File(L"cmyk.jpg"), testimage::OtherFormat::CmykJpeg, 203, 101));
    ASSERT_TRUE(testimage::WriteImageFileAs(source.File(L"palette.png"), testimage::OtherFormat::PalettePng, 199, 97));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"large.jpg"), L"image/jpeg", 1500, 750));
    // More files than the workers of a two-core machine, so that the first
    // ones are written while the last are read.
    std::set<std::wstring> expected = {L"odd width.jpg", L"dense.jpg", L"plain.png", L"plain.bmp",  L"alpha.png",
                                       L"grey.jpg",      L"cmyk.jpg",  L"large.jpg", L"palette.png"};
    for (int i = 0; i < 4; ++i) {
        const std::wstring name = L"more " + std::to_wstring(i) + L".jpg";
        ASSERT_TRUE(testimage::WriteImageFile(source.File(name), L"image/jpeg", 300 + 7 * i, 200));
        expected.insert(name);
    }

    EXPECT_EQ(RunBothRoutes(), IDOK);
    EXPECT_EQ(processed, 13);
    EXPECT_EQ(testutil::EntriesIn(pipelined.Path()), expected);
    ExpectSameOutputs();

    // The grey picture comes out as the effects make its grey values, not
    // as it went in: its pixels read as 24-bit, processed and encoded alike.
    Gdiplus::Bitmap grey(source.File(L"grey.jpg").c_str());
    ASSERT_EQ(grey.GetPixelFormat(), PixelFormat8bppIndexed);
    TestImage levels = testimage::ReadPixels(grey);
    ASSERT_TRUE(AutoLevelPixels(levels.View(), 0.1, 0.01) && SharpenPixels(levels.View(), 1.5f, 20.0f));
    const ScratchFolder scratch;
    const std::wstring expectedGrey = scratch.File(L"grey.jpg");
    ASSERT_TRUE(testimage::SaveAs(*testimage::MakeBitmap(levels), expectedGrey, L"image/jpeg"));
    Gdiplus::Bitmap written(pipelined.File(L"grey.jpg").c_str());
    Gdiplus::Bitmap alike(expectedGrey.c_str());
    EXPECT_TRUE(testimage::ReadPixels(written).bytes == testimage::ReadPixels(alike).bytes);
}

TEST_F(BatchPipelineTest, ClosingWhileFilesAreInFlightLeavesThoseBeforeWholeAndNothingPartial)
{
    // The close comes as a file shows: the files before it are in the
    // encoder or written, that file goes there as the tick ends, and the
    // files read ahead of it are dropped.
    const struct {
        int files;
        uint32_t width;
        int closeAt;
    } cases[] = {{4, 2000, 2}, {10, 1200, 3}};
    for (const auto& run : cases) {
        testutil::RemoveTree(source.Path());
        testutil::RemoveTree(pipelined.Path());
        testutil::RemoveTree(oneFile.Path());
        for (const ScratchFolder* folder : {&source, &pipelined, &oneFile}) {
            ASSERT_TRUE(CreateDirectoryW(folder->Path().c_str(), nullptr));
        }
        for (int i = 0; i < run.files; ++i) {
            ASSERT_TRUE(testimage::WriteImageFile(source.File(L"p" + std::to_wstring(i) + L".jpg"), L"image/jpeg",
                                                  run.width, run.width / 2));
        }
        EXPECT_EQ(RunBothRoutes(run.closeAt), IDCANCEL);
        ASSERT_EQ(processed, run.closeAt);
        EXPECT_EQ(writtenAtReturn, std::set<std::wstring>(listed.begin(), listed.begin() + run.closeAt))
            << run.files << " files";
        ExpectSameOutputs();
        EXPECT_EQ(testutil::EntriesIn(source.Path()).size(), static_cast<size_t>(run.files));
    }
}

TEST_F(BatchPipelineTest, FilesThatCannotBeReadAreSkippedAmongGoodOnes)
{
    // A tiny file and refused ones, which take only their bytes, first: the
    // memory the batch expects a file to take is not learnt from them.
    testutil::WriteBytes(source.File(L"0 first.txt"), "x");
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"a good.jpg"), L"image/jpeg", 600, 300));
    testutil::WriteBytes(source.File(L"b notes.txt"), "not an image\r\n");
    testutil::WriteBytes(source.File(L"c empty.jpg"), "");
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"d good.png"), L"image/png", 300, 200));
    const std::string jpeg = ReadBytes(source.File(L"a good.jpg"));
    testutil::WriteBytes(source.File(L"e header only.jpg"), jpeg.substr(0, 64));
    testutil::WriteBytes(source.File(L"f cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
    testutil::WriteBytes(source.File(L"f false header.jpg"), testimage::WithClaimedSize(jpeg, 60000, 60000));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"g locked.jpg"), L"image/jpeg", 200, 100));
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"h good.jpg"), L"image/jpeg", 500, 250));
    // Frames that wrap 32 bits, first in the list and amid the others.
    for (const testimage::WrappingClaim& claim : testimage::kWrappingClaims) {
        ASSERT_TRUE(testimage::WriteWrappingClaim(source.File(std::wstring(L"0 0 ") + claim.name), claim));
        ASSERT_TRUE(testimage::WriteWrappingClaim(source.File(std::wstring(L"g ") + claim.name), claim));
    }
    HANDLE holder = CreateFileW(source.File(L"g locked.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_EQ(RunBothRoutes(), IDOK);
    CloseHandle(holder);
    EXPECT_EQ(processed, 16);

    // The good files and nothing else, no partial file of a refused one; the
    // cut file may decode in part.
    std::set<std::wstring> written = testutil::EntriesIn(pipelined.Path());
    written.erase(L"f cut.jpg");
    EXPECT_EQ(written, (std::set<std::wstring>{L"a good.jpg", L"d good.png", L"h good.jpg"}));
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

TEST(BatchPipelineLoanTest, StoppingReadsNothingPastTheFilesInFlightAndGivesTheBudgetBack)
{
    ScratchFolder source;
    ScratchFolder target;
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"tiny.jpg"), L"image/jpeg", 8, 6));
    constexpr size_t kWorkers = 16;
    const struct {
        const char* what;
        size_t files;
        size_t lent;
    } cases[] = {
        // A close at the second file: the workers finish what they hold and
        // take nothing more.
        {"stopped early", 96, 2},
        // Thousands of files through every worker at once: whatever order
        // the workers give their files back in, nothing stays counted.
        {"all lent", 3000, 3000},
    };
    for (const auto& run : cases) {
        CBatchPipeline pipeline;
        pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", std::vector<std::wstring>(run.files, L"tiny.jpg"),
                       kWorkers, size_t{64} << 20);
        // A budget that lost count can stall the batch for good: stopping it
        // frees the loop below.
        const UniqueHandle lentAll(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread watchdog([&] {
            if (WaitForSingleObject(lentAll.Get(), 60000) != WAIT_OBJECT_0) {
                pipeline.Finish();
            }
        });
        size_t lent = 0;
        PixelView pixels;
        while (lent < run.lent && pipeline.TakeNext(pixels)) {
            pipeline.GiveBack(lent < 2);
            ++lent;
        }
        SetEvent(lentAll.Get());
        watchdog.join();
        pipeline.Finish();
        EXPECT_EQ(lent, run.lent) << run.what << ": stalled";
        const CBatchPipeline::Counts counts = pipeline.Tally();
        EXPECT_LE(counts.taken, run.lent + kWorkers) << run.what;
        EXPECT_EQ(counts.inFlight, 0u) << run.what;
        EXPECT_EQ(counts.budgetFiles, 0u) << run.what;
        EXPECT_EQ(counts.budgetBytes, 0u) << run.what;
        EXPECT_EQ(testutil::EntriesIn(target.Path()), std::set<std::wstring>{L"tiny.jpg"}) << run.what;
    }
}

// The process's private memory: Wine fills PagefileUsage from the process's
// private resident memory (the figure the service's load test reads).
size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

// How far apart a count of memory and the private memory measured may lie:
// the heap's own bookkeeping and pages, not a picture's.
constexpr size_t kMemorySlack = size_t{1} << 20;

// What a file takes through GDI+ (its bytes, the decoded pixels twice and the
// effects' copy) and what the straight road keeps of it (its bytes and the
// copy), against the private memory the process holds while they are held;
// that a header tells before decoding what its road takes (the bytes of the
// file and so many for each pixel: the decoder's, grey as 8 bits, colour as
// 24, CMYK as 32 twice, and the copy's 24), unless it claims more than its
// file can code, and only the file's bytes when the frame is too large to be
// decoded at all; and that GDI+ decodes the stream the straight road has
// read, from its start.
TEST(BatchFilesTest, MemoryTakenAndKeptMatchThePrivateMemoryHeld)
{
    ScratchFolder source;
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"colour.jpg"), L"image/jpeg", 2400, 1200));
    ASSERT_TRUE(testimage::WriteImageFileAs(source.File(L"grey.jpg"), testimage::OtherFormat::GreyJpeg, 2400, 1200));
    ASSERT_TRUE(testimage::WriteImageFileAs(source.File(L"cmyk.jpg"), testimage::OtherFormat::CmykJpeg, 1600, 800));
    ASSERT_TRUE(WritePngWithAlpha(source.File(L"alpha.png"), 1600, 800));
    testutil::WriteBytes(source.File(L"notes.txt"), "not an image\r\n");
    testutil::WriteBytes(source.File(L"false header.jpg"),
                         testimage::WithClaimedSize(ReadBytes(source.File(L"colour.jpg")), 60000, 60000));
    for (const testimage::WrappingClaim& claim : testimage::kWrappingClaims) {
        ASSERT_TRUE(testimage::WriteWrappingClaim(source.File(claim.name), claim));
    }
    const struct {
        const wchar_t* name;
        bool image;
        bool straight;
        bool told;
        size_t pixels;
        size_t bytesPerPixel;
    } cases[] = {
        {L"colour.jpg", true, true, true, 2400 * 1200, 3 + 3},
        {L"grey.jpg", true, true, true, 2400 * 1200, 1 + 3},
        {L"cmyk.jpg", true, false, true, 1600 * 800, 2 * 4 + 3},
        {L"alpha.png", true, false, false, 0, 0},
        {L"notes.txt", false, false, false, 0, 0},
        {L"false header.jpg", false, false, true, 0, 0},
        {testimage::kWrappingClaims[0].name, false, false, true, 0, 0},
        {testimage::kWrappingClaims[1].name, false, false, true, 0, 0},
        {testimage::kWrappingClaims[2].name, false, false, true, 0, 0},
    };
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The first round loads the codecs and grows the heap once; the second counts.
    for (int round = 0; round < 2; ++round) {
        for (const auto& file : cases) {
            const std::wstring path = source.File(file.name);
            size_t before = PrivateBytes();
            size_t taken = 0;
            size_t held = 0;
            {
                const LoadedBitmap loaded = LoadBitmapInMemory(path);
                const std::unique_ptr<Gdiplus::Bitmap> copy = Copy24BitRgb(loaded.bitmap.get());
                held = PrivateBytes() - before;
                taken = MemoryTaken(loaded);
            }
            if (round == 1) {
                EXPECT_NEAR(static_cast<double>(held), static_cast<double>(taken), kMemorySlack) << file.name;
            }

            const size_t expected = MemoryExpected(path);
            EXPECT_EQ(expected != 0, file.told) << file.name;
            if (file.told) {
                EXPECT_EQ(expected, ReadBytes(path).size() + file.pixels * file.bytesPerPixel) << file.name;
            }
            before = PrivateBytes();
            StreamPtr stream = ReadFileInMemory(path);
            const std::unique_ptr<Gdiplus::Bitmap> straight = DecodeJpegTo24BitRgb(stream.get());
            held = PrivateBytes() - before;
            ASSERT_EQ(straight != nullptr, file.straight) << file.name;
            if (straight) {
                if (round == 1) {
                    EXPECT_NEAR(static_cast<double>(held),
                                static_cast<double>(ReadBytes(path).size() + MemoryKept(straight.get())), kMemorySlack)
                        << file.name;
                }
                EXPECT_EQ(expected, MemoryTakenStraight(stream.get(), *straight)) << file.name;
            } else if (file.told) {
                EXPECT_EQ(expected, taken) << file.name;
            }
            const LARGE_INTEGER here{};
            ULARGE_INTEGER position{};
            ASSERT_EQ(stream->Seek(here, STREAM_SEEK_CUR, &position), S_OK) << file.name;
            EXPECT_EQ(position.QuadPart, 0u) << file.name << ": GDI+ on Windows reads from there";
            const LoadedBitmap fallback = DecodeInMemory(std::move(stream));
            EXPECT_EQ(fallback.bitmap && fallback.bitmap->GetLastStatus() == Gdiplus::Ok, file.image) << file.name;
        }
    }
    CoUninitialize();
}

// The private memory a batch holds beyond what the process held before never
// exceeds what its budget counts by more than the slack and what its workers
// hold of their own: a file is counted until its copy is encoded, written
// and freed. Sampled beside the run, each sample between two readings of the
// count. One worker encodes its file before it takes the next, so that
// nothing else takes the room meanwhile; three overlap the encoding of one
// file with the reading of others.
TEST(BatchPipelineMemoryTest, PrivateMemoryStaysWithinWhatTheBudgetCountsUntilFilesAreWritten)
{
    // A worker's stack, COM apartment and codecs, about 1.3 MB under Wine.
    constexpr size_t kWorkerMemory = size_t{2} << 20;
    constexpr int kFiles = 6;
    ScratchFolder source;
    std::vector<std::wstring> names;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back(L"scan " + std::to_wstring(i) + L".jpg");
        ASSERT_TRUE(testimage::WriteImageFile(source.File(names.back()), L"image/jpeg", 2400, 1200));
    }
    // The first run loads the codecs into the workers and grows the heap
    // once; the others count.
    const size_t workerCounts[] = {3, 1, 3};
    for (size_t round = 0; round < std::size(workerCounts); ++round) {
        const size_t workers = workerCounts[round];
        ScratchFolder target;
        CBatchPipeline pipeline;
        const long long before = static_cast<long long>(PrivateBytes());
        std::atomic<bool> finished{false};
        long long worst = 0;
        std::thread sampler([&] {
            while (!finished) {
                const size_t counted = pipeline.Tally().budgetBytes;
                const long long now = static_cast<long long>(PrivateBytes());
                const size_t countedAfter = pipeline.Tally().budgetBytes;
                worst = std::max(worst, now - before - static_cast<long long>(std::max(counted, countedAfter)));
                Sleep(1);
            }
        });
        pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", names, workers, size_t{256} << 20);
        PixelView pixels;
        for (int i = 0; i < kFiles; ++i) {
            EXPECT_TRUE(pipeline.TakeNext(pixels)) << i;
            pipeline.GiveBack(true);
        }
        pipeline.Finish();
        finished = true;
        sampler.join();
        EXPECT_EQ(testutil::EntriesIn(target.Path()).size(), static_cast<size_t>(kFiles)) << workers << " workers";
        if (round > 0) {
            EXPECT_LE(worst, static_cast<long long>(kMemorySlack + workers * kWorkerMemory))
                << workers << " workers: held beyond the count";
        }
    }
}

// Files named f0.jpg, f1.jpg, ... of `count` panoramic-like images.
std::vector<std::wstring> WriteFiles(const ScratchFolder& folder, int count)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(L"f" + std::to_wstring(i) + L".jpg");
        testimage::WriteImageFile(folder.File(names.back()), L"image/jpeg", 400 + 16 * i, 200);
    }
    return names;
}

// A file whose true header claims more than the whole budget, after a small
// one or an unreadable one that holds nothing: it is let in only once that
// one is written, and the files after it are again read together, since what
// it took is no measure of them.
TEST(BatchPipelineInFlightTest, AFileBeyondTheBudgetGoesAloneAndHoldsUpNoFileAfterIt)
{
    // The large file's decoding takes 4800 x 2400 x 3 bytes twice.
    constexpr size_t kBudget = size_t{64} << 20;
    ScratchFolder source;
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"large.jpg"), L"image/jpeg", 4800, 2400));
    testutil::WriteBytes(source.File(L"notes.txt"), "not an image\r\n");
    const std::vector<std::wstring> small = WriteFiles(source, 5);
    for (const wchar_t* first : {L"f0.jpg", L"notes.txt"}) {
        ScratchFolder target;
        std::vector<std::wstring> names = small;
        names[0] = first;
        names.insert(names.begin() + 1, L"large.jpg");
        // Two workers: the first file and the large one, nothing else.
        CBatchPipeline pipeline;
        pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", names, 2, kBudget);
        PixelView pixels;
        ASSERT_TRUE(pipeline.TakeNext(pixels));
        EXPECT_TRUE(testutil::PumpUntil(
            [&] { return pipeline.Tally().waiting == 1 || pipeline.Tally().budgetBytes >= kBudget; }, 20000));
        const CBatchPipeline::Counts beside = pipeline.Tally();
        EXPECT_EQ(beside.waiting, 1u) << first << ": the large file waits for the first";
        EXPECT_EQ(beside.inFlight, 1u) << first;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0) {
                ASSERT_TRUE(pipeline.TakeNext(pixels)) << i;
            }
            if (i == 2) {
                EXPECT_TRUE(testutil::PumpUntil([&] { return pipeline.Tally().inFlight == 2; }, 20000))
                    << pipeline.Tally().inFlight << " files in flight after the large one";
            }
            pipeline.GiveBack(true);
        }
        pipeline.Finish();
        std::set<std::wstring> written(names.begin(), names.end());
        written.erase(L"notes.txt");
        EXPECT_EQ(testutil::EntriesIn(target.Path()), written) << first;
    }
}

// A file larger than typical, within the budget, first: what it took is
// learnt, yet the files after it hold what their headers claim, and are read
// beside it.
TEST(BatchPipelineInFlightTest, AFileLargerThanTheOthersHoldsOnlyItsOwnCost)
{
    constexpr size_t kWorkers = 4;
    ScratchFolder source;
    ScratchFolder target;
    std::vector<std::wstring> names = WriteFiles(source, 5);
    ASSERT_TRUE(testimage::WriteImageFile(source.File(L"large.jpg"), L"image/jpeg", 4000, 2000));
    names.insert(names.begin(), L"large.jpg");
    CBatchPipeline pipeline;
    pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", names, kWorkers, size_t{64} << 20);
    PixelView pixels;
    ASSERT_TRUE(pipeline.TakeNext(pixels));
    // What it took on the straight road is what a file whose header tells
    // nothing would be held at.
    EXPECT_EQ(pipeline.Tally().expectedBytes, MemoryExpected(source.File(L"large.jpg")));
    EXPECT_TRUE(testutil::PumpUntil([&] { return pipeline.Tally().inFlight == kWorkers; }, 20000))
        << pipeline.Tally().inFlight << " files in flight beside the large one";
    pipeline.GiveBack(true);
    for (size_t i = 1; i < names.size(); ++i) {
        ASSERT_TRUE(pipeline.TakeNext(pixels)) << i;
        pipeline.GiveBack(true);
    }
    pipeline.Finish();
    EXPECT_EQ(testutil::EntriesIn(target.Path()), std::set<std::wstring>(names.begin(), names.end()));
}

TEST(BatchPipelineInFlightTest, ReadsAheadUpToItsWorkersOrItsBudgetAndWritesWhatTheOneFileRouteWrites)
{
    constexpr int kFiles = 8;
    const struct {
        size_t workers;
        size_t budget;
        size_t inFlight;
    } cases[] = {
        // Workers enough for every file: all are read while the first is on loan.
        {kFiles, size_t{256} << 20, kFiles},
        {5, size_t{256} << 20, 5},
        // A budget that holds no file beside another: one at a time, and
        // the batch still goes through.
        {kFiles, 1, 1},
    };
    ScratchFolder source;
    const std::vector<std::wstring> names = WriteFiles(source, kFiles);
    ScratchFolder oneFile;
    CProgressDlg alone;
    alone.sourceFolder = source.Path() + L"\\";
    alone.targetFolder = oneFile.Path() + L"\\";
    for (const std::wstring& name : names) {
        ASSERT_TRUE(alone.SharpenFile(name)) << name;
    }

    for (const auto& run : cases) {
        ScratchFolder target;
        CBatchPipeline pipeline;
        pipeline.Start(source.Path() + L"\\", target.Path() + L"\\", names, run.workers, run.budget);
        PixelView pixels;
        ASSERT_TRUE(pipeline.TakeNext(pixels));
        // The files after the one on loan are read meanwhile, as far as the
        // workers and the budget let them.
        EXPECT_TRUE(testutil::PumpUntil([&] { return pipeline.Tally().peakInFlight >= run.inFlight; }, 20000))
            << run.workers << " workers";
        testutil::PumpFor(100);
        EXPECT_EQ(pipeline.Tally().peakInFlight, run.inFlight) << run.workers << " workers";
        // Once read, a file holds no more than its 24-bit copy: the decoder's
        // pixels and the file's bytes are given back.
        size_t kept = 0;
        for (size_t i = 0; i < run.inFlight; ++i) {
            kept += (400 + 16 * i) * 3 * 200;
        }
        EXPECT_TRUE(testutil::PumpUntil([&] { return pipeline.Tally().budgetBytes == kept; }, 20000))
            << run.workers << " workers: " << pipeline.Tally().budgetBytes << " bytes held";
        CEffectWorkspace effects;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0) {
                ASSERT_TRUE(pipeline.TakeNext(pixels)) << i;
            }
            pipeline.GiveBack(AutoLevelPixels(pixels, 0.1, 0.01, effects) &&
                              SharpenPixels(pixels, 1.5f, 20.0f, effects));
        }
        pipeline.Finish();
        EXPECT_EQ(testutil::EntriesIn(target.Path()), std::set<std::wstring>(names.begin(), names.end()));
        for (const std::wstring& name : names) {
            EXPECT_TRUE(ReadBytes(target.File(name)) == ReadBytes(oneFile.File(name))) << "bytes differ: " << name;
        }
    }
}

} // namespace
