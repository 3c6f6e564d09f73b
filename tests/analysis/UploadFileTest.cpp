#include "analysis/UploadFile.h"

#include "foundation/Utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// A folder name that no ANSI code page holds: Chinese, Greek and an emoji.
const std::wstring NO_CODE_PAGE_NAME = L"\u75c5\u60a3 \u738b\u5c0f\u660e \u03a9\u03bc\u03ad\u03b3\u03b1 \U0001F9B7";

fs::path PathOf(const std::wstring& path)
{
#ifdef _WIN32
    return fs::path(path);
#else
    return fs::path(WideToUtf8(path));
#endif
}

class UploadFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("quill_upload_" + std::to_string(std::random_device()()));
        fs::create_directories(folder);
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    fs::path folder;
};

TEST_F(UploadFileTest, ReadsAFileByAWidePathNoCodePageCanSpell)
{
    const fs::path inner = folder / PathOf(NO_CODE_PAGE_NAME);
    fs::create_directories(inner);
    const fs::path file = inner / PathOf(L"\u5168\u53e3\u7247.jpg");
    std::ofstream(file, std::ios::binary) << "jpeg bytes";

    CUploadFile upload;
#ifdef _WIN32
    ASSERT_TRUE(upload.Open(file.wstring()));
#else
    ASSERT_TRUE(upload.Open(Utf8ToWide(file.string())));
#endif
    ASSERT_EQ(upload.Size(), 10);
    char bytes[10];
    ASSERT_TRUE(upload.Read(bytes, 10));
    EXPECT_EQ(std::string(bytes, 10), "jpeg bytes");
    EXPECT_FALSE(upload.Read(bytes, 1)) << "read past the end";
}

TEST_F(UploadFileTest, AFileDeletedWhileTheUploadHoldsItGoesWhenTheUploadLetsItGo)
{
    const fs::path file = folder / "copy.jpg";
    std::ofstream(file, std::ios::binary) << "sharpened";
    CUploadFile upload;
    ASSERT_TRUE(upload.Open(file.string()));
    ASSERT_EQ(upload.Size(), 9);
    std::error_code error;
    EXPECT_TRUE(fs::remove(file, error)) << error.message();
    // What was opened is still read whole.
    char bytes[9];
    ASSERT_TRUE(upload.Read(bytes, 9));
    EXPECT_EQ(std::string(bytes, 9), "sharpened");
    upload.Close();
    EXPECT_FALSE(fs::exists(file));
    // The name is free again at once.
    std::ofstream(file, std::ios::binary) << "next";
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(UploadFileTest, AMissingFileOrAnEmptyPathDoesNotOpen)
{
    CUploadFile upload;
    EXPECT_FALSE(upload.Open((folder / "missing.jpg").string()));
    EXPECT_FALSE(upload.Open(std::string()));
    EXPECT_FALSE(upload.Open(std::wstring()));
    EXPECT_FALSE(upload.IsOpen());
    EXPECT_EQ(upload.Size(), -1);
}

} // namespace
