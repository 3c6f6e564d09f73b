#include "foundation/TempFiles.h"

#include "WinTestUtil.h"

#include <objbase.h>

#include <gtest/gtest.h>

namespace {

const GUID TEST_GUID = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};

std::wstring TempFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return folder;
}

std::wstring NewTempFile(const wchar_t* extension)
{
    GUID guid = {};
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    wchar_t path[TEMP_PATH_CAPACITY] = {};
    EXPECT_TRUE(MakeTempFilePath(&guid, extension, path));
    testutil::WriteBytes(path, "bytes");
    return path;
}

TEST(TempFiles, PathIsTheUsersTemporaryFolderThenGuidTextAndExtension)
{
    wchar_t path[TEMP_PATH_CAPACITY] = {};
    ASSERT_TRUE(MakeTempFilePath(&TEST_GUID, L".jpg", path));
    const std::wstring folder = TempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(std::wstring(path), folder + L"00112233-4455-6677-8899-AABBCCDDEEFF.jpg");
}

TEST(TempFiles, DeletingPassesOverWhatCannotGoAndAlwaysEmptiesTheList)
{
    g_tempFiles.clear();
    const std::wstring twice = NewTempFile(L".jpg");
    const std::wstring held = NewTempFile(L".txt");
    const std::wstring last = NewTempFile(L".jpg");

    AddTempFile(twice.c_str());
    AddTempFile(held.c_str());
    AddTempFile(twice.c_str());
    AddTempFile(last.c_str());
    ASSERT_EQ(g_tempFiles.size(), 4u);
    EXPECT_EQ(g_tempFiles[0], twice);
    EXPECT_EQ(g_tempFiles[2], twice);

    // Held open without delete sharing, as a loaded image holds its file.
    HANDLE open = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    DeleteTempFiles();
    CloseHandle(open);

    EXPECT_TRUE(g_tempFiles.empty());
    EXPECT_FALSE(testutil::FileExists(twice));
    EXPECT_FALSE(testutil::FileExists(last));
    EXPECT_TRUE(testutil::FileExists(held));
    DeleteFileW(held.c_str());

    DeleteTempFiles();
    EXPECT_TRUE(g_tempFiles.empty());
}

} // namespace
