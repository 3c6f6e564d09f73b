#include "foundation/TempFiles.h"

#include "WinTestUtil.h"
#include "foundation/TempFileJournal.h"
#include "foundation/TempJournalText.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

// The journal of the temporary copies, in a temporary folder of the test's own.
class TempFileJournalTest : public testing::Test {
protected:
    static constexpr wchar_t NAME[] = L"test copies.journal";
    static constexpr wchar_t OTHER_MODE[] = L"other mode copies.journal";

    void SetUp() override { UseFolder(L"temp"); }
    void TearDown() override { g_tempFiles.clear(); }

    void UseFolder(const std::wstring& name)
    {
        redirected.reset();
        ASSERT_TRUE(CreateDirectoryW(scratch.File(name).c_str(), nullptr));
        redirected = std::make_unique<testutil::TempFolderOverride>(scratch.File(name));
        folder = scratch.File(name) + L"\\";
        ASSERT_TRUE(g_tempFileJournal.Open(NAME));
    }

    // A new copy's path; the copy is made when `made`.
    std::wstring Copy(bool made = true)
    {
        GUID guid = {};
        EXPECT_EQ(CoCreateGuid(&guid), S_OK);
        wchar_t path[TEMP_PATH_CAPACITY] = {};
        EXPECT_TRUE(MakeTempFilePath(&guid, L".jpg", path));
        if (made) {
            testutil::WriteBytes(path, "patient");
        }
        return path;
    }

    std::vector<std::wstring> Named(const wchar_t* journal = NAME) const
    {
        return LiveJournalPaths(testutil::ReadBytes(folder + journal));
    }

    testutil::ScratchFolder scratch;
    std::unique_ptr<testutil::TempFolderOverride> redirected;
    std::wstring folder;
};

TEST_F(TempFileJournalTest, NamesACopyBeforeItIsMadeAndForgetsItOnceItIsGone)
{
    const std::wstring copy = Copy(false);
    const std::wstring held = Copy();
    AddTempFile(copy.c_str());
    EXPECT_EQ(Named(), std::vector<std::wstring>{copy});
    testutil::WriteBytes(copy, "patient");
    AddTempFile(held.c_str());
    EXPECT_EQ(Named(), (std::vector<std::wstring>{copy, held}));

    // Held open without delete sharing, as a viewer may hold it.
    HANDLE open = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    DeleteTempFiles();
    EXPECT_FALSE(testutil::FileExists(copy));
    EXPECT_EQ(Named(), std::vector<std::wstring>{held}) << "a copy still there must stay named";
    CloseHandle(open);

    // A copy whose making failed is forgotten with what it left.
    const std::wstring failed = Copy(false);
    AddTempFile(failed.c_str());
    testutil::WriteBytes(failed, "half");
    ForgetTempFile(failed.c_str());
    EXPECT_TRUE(g_tempFiles.empty());
    EXPECT_FALSE(testutil::FileExists(failed));
    EXPECT_EQ(Named(), std::vector<std::wstring>{held});

    // The run ends without its own stop; the next start deletes the copy, and
    // with nothing left named the journal goes.
    ASSERT_TRUE(g_tempFileJournal.Open(NAME));
    CTempFileJournal next;
    ASSERT_TRUE(next.Open(NAME));
    EXPECT_TRUE(next.Sweep());
    EXPECT_FALSE(testutil::FileExists(held));
    EXPECT_TRUE(testutil::EntriesIn(folder).empty());
}

TEST_F(TempFileJournalTest, TheNextStartDeletesTheLeftoversItNamesAndTouchesNothingElse)
{
    UseFolder(L"\u81e8\u6642 \u738b\u5c0f\u660e");
    // The run that was killed: two copies left (one cut short), one deleted
    // in time, one named but never made.
    const std::wstring left = Copy();
    const std::wstring cutShort = Copy();
    const std::wstring deleted = Copy();
    const std::wstring neverMade = Copy(false);
    for (const std::wstring& copy : {left, cutShort, deleted, neverMade}) {
        AddTempFile(copy.c_str());
    }
    DeleteTempCopy(deleted);
    testutil::WriteBytes(cutShort, "");
    g_tempFiles.clear();
    // Not this mode's: a copy of the other mode's running instance, a copy
    // that no journal names, and the user's file, which a damaged journal names.
    const std::wstring otherModes = Copy();
    CTempFileJournal otherMode;
    ASSERT_TRUE(otherMode.Open(OTHER_MODE));
    ASSERT_TRUE(otherMode.Record(otherModes));
    const std::wstring unnamed = Copy();
    const std::wstring users = folder + L"\u5831\u544a.jpg";
    testutil::WriteBytes(users, "the user's");
    CTempFileJournal damaged;
    ASSERT_TRUE(damaged.Open(NAME));
    ASSERT_TRUE(damaged.Record(users));
    // Both runs end without their own stop.
    ASSERT_TRUE(g_tempFileJournal.Open(NAME));
    ASSERT_TRUE(damaged.Open(NAME));

    CTempFileJournal next;
    ASSERT_TRUE(next.Open(NAME));
    EXPECT_TRUE(next.Sweep());
    EXPECT_FALSE(testutil::FileExists(left));
    EXPECT_FALSE(testutil::FileExists(cutShort));
    EXPECT_FALSE(testutil::FileExists(folder + NAME));
    EXPECT_EQ(Named(OTHER_MODE), std::vector<std::wstring>{otherModes});
    EXPECT_EQ(testutil::EntriesIn(folder),
              (std::set<std::wstring>{otherModes.substr(folder.size()), OTHER_MODE, unnamed.substr(folder.size()),
                                      L"\u5831\u544a.jpg"}));
}

TEST_F(TempFileJournalTest, AJournalThatCannotBeReadOrWrittenLeavesTheCopiesToTheList)
{
    // A folder where the journal should be: it can be neither read nor written.
    ASSERT_TRUE(CreateDirectoryW((folder + NAME).c_str(), nullptr));
    CTempFileJournal blocked;
    ASSERT_TRUE(blocked.Open(NAME));
    EXPECT_FALSE(blocked.Sweep());
    EXPECT_FALSE(blocked.Record(Copy(false)));

    const std::wstring copy = Copy(false);
    AddTempFile(copy.c_str());
    testutil::WriteBytes(copy, "patient");
    DeleteTempFiles();
    EXPECT_FALSE(testutil::FileExists(copy));
    EXPECT_EQ(testutil::EntriesIn(folder), std::set<std::wstring>{NAME});
}

// What a start finds in the journal of a run that ended without its own stop,
// and what it must leave: a copy is forgotten only once it is gone.
TEST_F(TempFileJournalTest, AStartSweepsOnlyWhatNoOneUsesAndForgetsOnlyWhatIsGone)
{
    enum class Finds { Plain, HeldByAnotherHandle, TempInAnotherCase, PastTheCap, UnterminatedLastLine, InUse };
    const struct {
        const char* name;
        Finds finds;
        bool swept; // the leftover goes at this start
    } cases[] = {
        {"a plain journal", Finds::Plain, true},
        {"the journal held by another handle", Finds::HeldByAnotherHandle, false},
        {"TEMP spelled in another case", Finds::TempInAnotherCase, true},
        {"a journal past 16 MB", Finds::PastTheCap, true},
        {"a last line without its end", Finds::UnterminatedLastLine, true},
        {"a running process of the mode holds it", Finds::InUse, false},
    };
    for (const auto& c : cases) {
        UseFolder(std::wstring(L"case ") + std::to_wstring(&c - cases));
        std::wstring leftover;
        {
            std::unique_ptr<testutil::TempFolderOverride> upper;
            if (c.finds == Finds::TempInAnotherCase) {
                std::wstring spelled = folder;
                CharUpperBuffW(spelled.data(), static_cast<DWORD>(spelled.size()));
                upper = std::make_unique<testutil::TempFolderOverride>(spelled.substr(0, spelled.size() - 1));
            }
            leftover = Copy();
            CTempFileJournal killed;
            ASSERT_TRUE(killed.Open(NAME));
            ASSERT_TRUE(killed.Record(leftover)) << c.name;
        }
        if (c.finds == Finds::PastTheCap) {
            std::string text;
            const std::string gone =
                JournalLine(JOURNAL_RECORD, folder + L"gone") + JournalLine(JOURNAL_STRIKE, folder + L"gone");
            while (text.size() <= 16 * 1024 * 1024) {
                text += gone;
            }
            testutil::WriteBytes(folder + NAME, testutil::ReadBytes(folder + NAME) + text);
        }
        // Another run of the mode, in another session, with a copy it uses.
        CTempFileJournal running;
        std::vector<std::wstring> inUse;
        if (c.finds == Finds::InUse) {
            inUse.push_back(Copy());
            ASSERT_TRUE(running.Open(NAME));
            ASSERT_TRUE(running.Record(inUse.front()));
        }
        const std::string before = testutil::ReadBytes(folder + NAME);
        HANDLE scanner = INVALID_HANDLE_VALUE;
        if (c.finds == Finds::HeldByAnotherHandle) {
            scanner = CreateFileW((folder + NAME).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
        }

        // This start: a sweep, then a copy made and deleted.
        ASSERT_TRUE(g_tempFileJournal.Open(NAME));
        EXPECT_EQ(g_tempFileJournal.Sweep(), c.finds != Finds::HeldByAnotherHandle) << c.name;
        EXPECT_EQ(testutil::FileExists(leftover), !c.swept) << c.name;
        for (const std::wstring& copy : inUse) {
            EXPECT_TRUE(testutil::FileExists(copy)) << c.name;
        }
        if (scanner != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(testutil::ReadBytes(folder + NAME), "") << c.name << ": read past the other handle";
            CloseHandle(scanner);
            EXPECT_EQ(testutil::ReadBytes(folder + NAME), before) << c.name << ": the journal was rewritten";
        }
        if (c.finds == Finds::UnterminatedLastLine) {
            // A run of another session killed while it struck a copy.
            const std::string cut = JournalLine(JOURNAL_STRIKE, Copy(false));
            testutil::WriteBytes(folder + NAME, testutil::ReadBytes(folder + NAME) + cut.substr(0, cut.size() - 9));
        }
        const std::wstring own = Copy(false);
        AddTempFile(own.c_str());
        ASSERT_FALSE(Named().empty()) << c.name << ": the record was lost";
        EXPECT_EQ(Named().back(), own) << c.name << ": the record was lost";
        testutil::WriteBytes(own, "patient");
        DeleteTempFiles();
        std::vector<std::wstring> stillNamed;
        if (!c.swept) {
            stillNamed.push_back(leftover);
        }
        stillNamed.insert(stillNamed.end(), inUse.begin(), inUse.end());
        EXPECT_EQ(Named(), stillNamed) << c.name;
        EXPECT_LT(testutil::ReadBytes(folder + NAME).size(), 4096u) << c.name << ": the journal was not compacted";
        EXPECT_EQ(testutil::FileExists(folder + NAME), !stillNamed.empty()) << c.name;

        // The next start, once no one uses the journal, deletes what is left.
        ASSERT_TRUE(running.Open(NAME));
        ASSERT_TRUE(g_tempFileJournal.Open(NAME));
        CTempFileJournal next;
        ASSERT_TRUE(next.Open(NAME));
        EXPECT_TRUE(next.Sweep()) << c.name;
        for (const std::wstring& copy : stillNamed) {
            EXPECT_FALSE(testutil::FileExists(copy)) << c.name;
        }
        EXPECT_FALSE(testutil::FileExists(folder + NAME)) << c.name;
    }
}

} // namespace
