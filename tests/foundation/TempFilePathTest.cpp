#include "foundation/TempFilePath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const GUID TEST_GUID = {0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};

// A folder text of `length` characters ending with a backslash.
std::wstring FolderOf(size_t length)
{
    return std::wstring(length - 1, L'd') + L'\\';
}

TEST(TempFilePath, IsFolderGuidTextAndExtensionWhileTheWholePathFitsIn260Characters)
{
    wchar_t out[TEMP_PATH_CAPACITY];
    ASSERT_TRUE(ComposeTempFilePath(L"C:\\Temp\\", &TEST_GUID, L".jpg", out));
    EXPECT_EQ(std::wstring(out), L"C:\\Temp\\00112233-4455-6677-8899-AABBCCDDEEFF.jpg");

    const std::wstring longest = FolderOf(219);
    ASSERT_TRUE(ComposeTempFilePath(longest, &TEST_GUID, L".jpg", out));
    EXPECT_EQ(std::wstring(out).size(), 259u);
    EXPECT_EQ(std::wstring(out), longest + L"00112233-4455-6677-8899-AABBCCDDEEFF.jpg");

    // One character more leaves no room for the terminating zero.
    EXPECT_FALSE(ComposeTempFilePath(FolderOf(220), &TEST_GUID, L".jpg", out));
    EXPECT_FALSE(ComposeTempFilePath(FolderOf(219), &TEST_GUID, L".jpeg", out));
    EXPECT_TRUE(ComposeTempFilePath(FolderOf(218), &TEST_GUID, L".txt", out));
    EXPECT_EQ(std::wstring(out).size(), 258u);
}

TEST(TempFilePath, RefusesAMissingFolderOrArgumentWithoutTouchingTheOutput)
{
    wchar_t out[TEMP_PATH_CAPACITY] = L"unchanged";
    EXPECT_FALSE(ComposeTempFilePath(L"", &TEST_GUID, L".jpg", out));
    EXPECT_FALSE(ComposeTempFilePath(L"C:\\Temp\\", nullptr, L".jpg", out));
    EXPECT_FALSE(ComposeTempFilePath(L"C:\\Temp\\", &TEST_GUID, nullptr, out));
    EXPECT_FALSE(ComposeTempFilePath(FolderOf(300), &TEST_GUID, L".jpg", out));
    EXPECT_EQ(std::wstring(out), L"unchanged");
    EXPECT_FALSE(ComposeTempFilePath(L"C:\\Temp\\", &TEST_GUID, L".jpg", nullptr));
}

} // namespace
