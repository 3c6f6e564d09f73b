// The real Quillmere.exe started with "/sharp SOURCE TARGET" under Wine and
// watched from outside: the files it writes, its caption, and that it ends.
#include "BitmapTestFiles.h"
#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using testutil::ReadBytes;
using testutil::ScratchFolder;

class BatchRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Images large enough that each file stays on screen for a while.
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"pano 1.jpg"), L"image/jpeg", 1500, 750));
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"pano2.png"), L"image/png", 1200, 600));
        testutil::WriteBytes(source.File(L"readme.txt"), "a text, not an image\r\n");
        ASSERT_TRUE(CreateDirectoryW(source.File(L"sub").c_str(), nullptr));
        ASSERT_TRUE(testimage::WriteImageFile(source.File(L"sub\\inner.jpg"), L"image/jpeg", 64, 48));
    }

    ScratchFolder source;
    ScratchFolder target;
};

TEST_F(BatchRunTest, WritesJpegFilesForTheImagesAndEndsByItself)
{
    const testutil::ProgramRun run =
        testutil::RunProgram(L"/sharp \"  " + source.Path() + L"  \" \" " + target.Path() + L"\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    EXPECT_EQ(testutil::EntriesIn(target.Path()), (std::set<std::wstring>{L"pano 1.jpg", L"pano2.png"}));
    for (const wchar_t* name : {L"pano 1.jpg", L"pano2.png"}) {
        EXPECT_TRUE(testimage::IsJpegData(ReadBytes(target.File(name)))) << name;
    }

    const std::set<std::wstring> possible = {
        L"Sharpen Image",    L"[1/3]--pano 1.jpg", L"[2/3]--pano 1.jpg", L"[3/3]--pano 1.jpg", L"[1/3]--pano2.png",
        L"[2/3]--pano2.png", L"[3/3]--pano2.png",  L"[1/3]--readme.txt", L"[2/3]--readme.txt", L"[3/3]--readme.txt"};
    size_t counted = 0;
    for (const std::wstring& caption : run.visibleCaptions) {
        EXPECT_EQ(possible.count(caption), 1u) << "unexpected caption";
        counted += caption.rfind(L"[", 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(counted, 1u) << "no file was ever shown in the caption";
}

// Frames whose sizes wrap 32 bits, first and amid the others: the process
// ends well and writes the images and nothing of those.
TEST_F(BatchRunTest, FramesTooLargeForTheProcessAreSkipped)
{
    for (const testimage::WrappingClaim& claim : testimage::kWrappingClaims) {
        ASSERT_TRUE(testimage::WriteWrappingClaim(source.File(std::wstring(L"0 ") + claim.name), claim));
        ASSERT_TRUE(testimage::WriteWrappingClaim(source.File(std::wstring(L"pano 2 ") + claim.name), claim));
    }
    const testutil::ProgramRun run =
        testutil::RunProgram(L"/sharp \"" + source.Path() + L"\" \"" + target.Path() + L"\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(testutil::EntriesIn(target.Path()), (std::set<std::wstring>{L"pano 1.jpg", L"pano2.png"}));
}

TEST_F(BatchRunTest, AMissingTargetFolderGetsNothingWritten)
{
    const std::wstring missing = target.Path() + L"\\not there";
    const testutil::ProgramRun run = testutil::RunProgram(L"/sharp \"" + source.Path() + L"\" \"" + missing + L"\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(testutil::EntriesIn(target.Path()).empty());
    EXPECT_EQ(testutil::EntriesIn(source.Path()),
              (std::set<std::wstring>{L"pano 1.jpg", L"pano2.png", L"readme.txt", L"sub"}));
}

} // namespace
