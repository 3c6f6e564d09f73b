// The settings store against the real private-profile functions of a
// throwaway Wine prefix: the user's copy under %APPDATA% and the preset in the
// working directory.
#include "foundation/SystemSetting.h"

#include "WinTestUtil.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

using testutil::FileExists;
using testutil::ReadBytes;
using testutil::WriteBytes;

std::wstring AppDataFolder()
{
    wchar_t appData[MAX_PATH];
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return std::wstring(appData) + L"\\Vantorel";
}

std::wstring UserCopy() { return AppDataFolder() + L"\\Quillmere\\Setting.ini"; }

std::wstring ReadKey(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    wchar_t text[64] = {};
    GetPrivateProfileStringW(section, key, L"<absent>", text, 64, path.c_str());
    return text;
}

struct StoredKey {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
};

// Dates the file's last write long ago: a rewrite then shows in the time,
// however coarsely the file system keeps it.
bool DateLongAgo(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const SYSTEMTIME longAgo{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME time{};
    const bool dated = SystemTimeToFileTime(&longAgo, &time) && SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return dated;
}

void ExpectStored(std::initializer_list<StoredKey> keys)
{
    for (const StoredKey& k : keys) {
        EXPECT_EQ(ReadKey(UserCopy(), k.section, k.key), k.value) << k.key;
    }
}

const char kAllKeys[] =
    "[CAPTURE]\r\nRECTX=10\r\nRECTY=20\r\nRECTW=300\r\nRECTH=200\r\n"
    "[SYSTEM]\r\nUPDATENFY=1\r\nMISSEND=1\r\nCAPTUREBAR=0\r\nCLIPBOARDTOKEN=0\r\n";

class SystemSettingTest : public testing::Test {
protected:
    void SetUp() override
    {
        testutil::RemoveTree(AppDataFolder());
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        SetCurrentDirectoryW(workDir.Path().c_str());
    }

    void TearDown() override
    {
        SetCurrentDirectoryW(previousDirectory);
        testutil::RemoveTree(AppDataFolder());
    }

    void WriteUserCopy(const std::string& text)
    {
        CreateDirectoryW(AppDataFolder().c_str(), nullptr);
        CreateDirectoryW((AppDataFolder() + L"\\Quillmere").c_str(), nullptr);
        WriteBytes(UserCopy(), text);
    }

    void WritePreset(const std::string& text) { WriteBytes(workDir.File(L"Setting.ini"), text); }

    testutil::ScratchFolder workDir;
    wchar_t previousDirectory[MAX_PATH] = {};
};

TEST_F(SystemSettingTest, FirstRunWithoutPresetTakesDefaultsAndWritesTheUserCopy)
{
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.captureRect.left, 0);
    EXPECT_EQ(setting.captureRect.right, 0);
    EXPECT_EQ(setting.captureRect.bottom, 0);
    EXPECT_EQ(setting.updateNotify, 0);
    EXPECT_FALSE(setting.missEnd);
    EXPECT_TRUE(setting.captureBar);
    EXPECT_TRUE(setting.clipboardToken);
    EXPECT_TRUE(setting.dirty);
    EXPECT_FALSE(setting.appDataFileExisted);
    // Load creates the folder; Save only writes into it.
    EXPECT_TRUE(FileExists(AppDataFolder() + L"\\Quillmere"));

    ASSERT_TRUE(setting.Save());
    EXPECT_FALSE(setting.dirty);
    ASSERT_TRUE(FileExists(UserCopy()));
    ExpectStored({
        {L"CAPTURE", L"RECTX", L"0"},
        {L"CAPTURE", L"RECTY", L"0"},
        {L"CAPTURE", L"RECTW", L"0"},
        {L"CAPTURE", L"RECTH", L"0"},
        {L"SYSTEM", L"UPDATENFY", L"0"},
        {L"SYSTEM", L"MISSEND", L"0"},
        {L"SYSTEM", L"CAPTUREBAR", L"1"},
        {L"SYSTEM", L"CLIPBOARDTOKEN", L"1"},
    });
    EXPECT_FALSE(FileExists(workDir.File(L"Setting.ini")));
}

TEST_F(SystemSettingTest, FirstRunReadsThePresetAndWritesItAsTheUserCopy)
{
    WritePreset(kAllKeys);
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.captureRect.left, 10);
    EXPECT_EQ(setting.updateNotify, 1);
    EXPECT_TRUE(setting.missEnd);
    EXPECT_FALSE(setting.captureBar);
    EXPECT_FALSE(setting.clipboardToken);
    EXPECT_TRUE(setting.dirty);

    const std::string preset = ReadBytes(workDir.File(L"Setting.ini"));
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"CAPTURE", L"RECTW", L"300"},
        {L"SYSTEM", L"CAPTUREBAR", L"0"},
        {L"SYSTEM", L"CLIPBOARDTOKEN", L"0"},
    });
    EXPECT_EQ(ReadBytes(workDir.File(L"Setting.ini")), preset) << "the preset is never written";
}

TEST_F(SystemSettingTest, TheUserCopyWinsOverADifferentPreset)
{
    WritePreset("[SYSTEM]\r\nMISSEND=0\r\nCAPTUREBAR=1\r\n[CAPTURE]\r\nRECTX=99\r\n");
    WriteUserCopy(kAllKeys);
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_TRUE(setting.appDataFileExisted);
    EXPECT_TRUE(setting.missEnd);
    EXPECT_FALSE(setting.captureBar);
    EXPECT_EQ(setting.captureRect.left, 10);
    EXPECT_FALSE(setting.dirty);
}

TEST_F(SystemSettingTest, AbsentClipboardTokenReadsAsSetAndIsWrittenBack)
{
    WriteUserCopy("[CAPTURE]\r\nRECTX=1\r\nRECTY=2\r\nRECTW=3\r\nRECTH=4\r\n"
                  "[SYSTEM]\r\nUPDATENFY=0\r\nMISSEND=0\r\nCAPTUREBAR=1\r\n");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_TRUE(setting.clipboardToken);
    EXPECT_TRUE(setting.dirty);
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"SYSTEM", L"CLIPBOARDTOKEN", L"1"},
        {L"CAPTURE", L"RECTH", L"4"},
    });
}

TEST_F(SystemSettingTest, AnUnchangedCompleteUserCopyIsNotTouched)
{
    WriteUserCopy(kAllKeys);
    ASSERT_TRUE(DateLongAgo(UserCopy()));
    WIN32_FILE_ATTRIBUTE_DATA before{};
    GetFileAttributesExW(UserCopy().c_str(), GetFileExInfoStandard, &before);

    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    ASSERT_FALSE(setting.dirty);
    ASSERT_TRUE(setting.Save());

    WIN32_FILE_ATTRIBUTE_DATA after{};
    GetFileAttributesExW(UserCopy().c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(ReadBytes(UserCopy()), kAllKeys);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
}

TEST_F(SystemSettingTest, CaptureRegionIsOriginAndSizeAndMayBeNegative)
{
    WriteUserCopy("[CAPTURE]\r\nRECTX=10\r\nRECTY=20\r\nRECTW=300\r\nRECTH=200\r\n[SYSTEM]\r\nCLIPBOARDTOKEN=1\r\n");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.captureRect.left, 10);
    EXPECT_EQ(setting.captureRect.top, 20);
    EXPECT_EQ(setting.captureRect.right, 310);
    EXPECT_EQ(setting.captureRect.bottom, 220);
    setting.dirty = true;
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"CAPTURE", L"RECTX", L"10"},
        {L"CAPTURE", L"RECTY", L"20"},
        {L"CAPTURE", L"RECTW", L"300"},
        {L"CAPTURE", L"RECTH", L"200"},
    });

    WriteUserCopy("[CAPTURE]\r\nRECTX=-1920\r\nRECTY=-5\r\nRECTW=1920\r\nRECTH=1085\r\n[SYSTEM]\r\nCLIPBOARDTOKEN=1\r\n");
    CSystemSetting negative;
    ASSERT_TRUE(negative.Load());
    EXPECT_EQ(negative.captureRect.left, -1920);
    EXPECT_EQ(negative.captureRect.right, 0);
    EXPECT_EQ(negative.captureRect.top, -5);
    EXPECT_EQ(negative.captureRect.bottom, 1080);
    negative.dirty = true;
    ASSERT_TRUE(negative.Save());
    ExpectStored({
        {L"CAPTURE", L"RECTX", L"-1920"},
        {L"CAPTURE", L"RECTW", L"1920"},
    });
}

TEST_F(SystemSettingTest, ARegionBeyondThe32BitRangeStillReadsBackUnchanged)
{
    WriteUserCopy("[CAPTURE]\r\nRECTX=2147483647\r\nRECTY=-2147483648\r\nRECTW=10\r\nRECTH=-10\r\n"
                  "[SYSTEM]\r\nCLIPBOARDTOKEN=1\r\n");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    setting.dirty = true;
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"CAPTURE", L"RECTX", L"2147483647"},
        {L"CAPTURE", L"RECTY", L"-2147483648"},
        {L"CAPTURE", L"RECTW", L"10"},
        {L"CAPTURE", L"RECTH", L"-10"},
    });
}

TEST_F(SystemSettingTest, FlagsReadAsNonZeroAndAreWrittenAsOneOrZero)
{
    WriteUserCopy("[SYSTEM]\r\nUPDATENFY=7\r\nMISSEND=5\r\nCAPTUREBAR=-3\r\nCLIPBOARDTOKEN=2\r\n");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.updateNotify, 1);
    EXPECT_TRUE(setting.missEnd);
    EXPECT_TRUE(setting.captureBar);
    EXPECT_TRUE(setting.clipboardToken);
    setting.dirty = true;
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"SYSTEM", L"UPDATENFY", L"1"},
        {L"SYSTEM", L"MISSEND", L"1"},
        {L"SYSTEM", L"CAPTUREBAR", L"1"},
        {L"SYSTEM", L"CLIPBOARDTOKEN", L"1"},
    });
}

// Our choice: a value that is not a decimal integer reads as its key's
// default, exactly as if the key were absent (so a damaged token is repaired).
TEST_F(SystemSettingTest, AValueThatIsNotADecimalIntegerReadsAsTheDefault)
{
    WriteUserCopy("[CAPTURE]\r\nRECTX=0x10\r\nRECTY=12abc\r\nRECTW=\r\nRECTH=99999999999\r\n"
                  "[SYSTEM]\r\nMISSEND=yes\r\nCAPTUREBAR=off\r\nCLIPBOARDTOKEN=abc\r\n");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.captureRect.left, 0);
    EXPECT_EQ(setting.captureRect.top, 0);
    EXPECT_EQ(setting.captureRect.right, 0);
    EXPECT_EQ(setting.captureRect.bottom, 0);
    EXPECT_FALSE(setting.missEnd);
    EXPECT_TRUE(setting.captureBar);
    EXPECT_TRUE(setting.clipboardToken);
    EXPECT_TRUE(setting.dirty);
    ASSERT_TRUE(setting.Save());
    ExpectStored({
        {L"SYSTEM", L"CLIPBOARDTOKEN", L"1"},
        {L"CAPTURE", L"RECTX", L"0"},
    });
}

TEST_F(SystemSettingTest, AFolderThatCannotBeCreatedLoadsButFailsTheSave)
{
    // A file where the folder should be: the folder cannot be made.
    CreateDirectoryW(AppDataFolder().c_str(), nullptr);
    WriteBytes(AppDataFolder() + L"\\Quillmere", "not a folder");
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_TRUE(setting.dirty);
    EXPECT_FALSE(setting.Save());
    EXPECT_FALSE(setting.dirty) << "a failed save still clears the mark";
}

TEST_F(SystemSettingTest, AfterLoadBothPathsNameSettingIni)
{
    CSystemSetting setting;
    ASSERT_TRUE(setting.Load());
    EXPECT_EQ(setting.cwdIniPath, workDir.Path() + L"\\Setting.ini");
    EXPECT_EQ(setting.appDataIniPath, UserCopy());
}

} // namespace
