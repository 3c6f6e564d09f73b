// The real Quillmere.exe in service mode, with the fake analysis server on
// 127.0.0.1:5555 and the test as the loopback client on 5556.
#include "../capture/BitmapTestFiles.h"
#include "FakeAnalysisServer.h"
#include "ServiceClient.h"
#include "ServiceTestFiles.h"
#include "WinTestUtil.h"
#include "analysis/AnalysisServer.h"
#include "analysis/SocketShim.h"
#include "app/AppIds.h"
#include "capture/ProgressDlg.h"
#include "foundation/TempFileJournal.h"
#include "foundation/TempFiles.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kStartBoundMs = 30000;
constexpr DWORD kEndBoundMs = 20000;
const wchar_t kDialogCaption[] = L"BrisvaneService";
const std::string SHUTDOWN_FRAME = "PTL1;11;SHUTDOWN;0;";

std::string ResultReply(const std::string& guid, const std::string& findingsByCode, const std::string& sharp = "")
{
    std::string payload = "CODE;1;1" + Field("GUID", guid) + Field("DISINFO", findingsByCode);
    if (!sharp.empty()) {
        payload += Field("SHARP", sharp);
    }
    return Field("RPT1", payload);
}

std::string UpdateRequest(const std::vector<std::pair<std::string, std::string>>& fields)
{
    std::string payload = "UPDATE;0;";
    for (const auto& field : fields) {
        payload += Field(field.first, field.second);
    }
    return RequestFrame(payload);
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ServiceRun : public testing::Test {
protected:
    void SetUp() override
    {
        // Tests of other programs write temporary files beside ours meanwhile.
        ownTemp = std::make_unique<testutil::TempFolderOverride>(tempFolder.Path());
        ASSERT_TRUE(fake.Start(ANALYSIS_SERVER_PORT));
        ASSERT_TRUE(WriteTestJpeg(image.File(L"scan.jpg"), 1));
        imagePath = Narrow(image.File(L"scan.jpg"));
        StartService();
    }

    void StartService()
    {
        program = std::make_unique<testutil::ProgramProcess>(L"/service");
        ASSERT_TRUE(program->Started());
        ASSERT_TRUE(WaitForServicePort(kStartBoundMs));
    }

    void TearDown() override
    {
        if (program && !program->Ended()) {
            AskService(SHUTDOWN_FRAME, 2000);
            program->WaitForEnd(kEndBoundMs);
        }
    }

    HWND Dialog() const { return program->WaitForWindow(kDialogCaption, 10000); }

    // The GUID of the analysis request the fake server recorded last.
    std::string LastRecordedGuid() const
    {
        const auto requests = fake.Requests();
        return requests.empty() ? "" : FieldValue(requests.back().bytes, KEY_GUID);
    }

    size_t RecordedCount() const { return fake.Requests().size(); }

    // Asks for a NEWSHARP copy and gives its path.
    std::wstring MakeSharpenedCopy()
    {
        fake.SetScenario(AcceptWith(""));
        const ServiceAnswer answer = AskService(NewRequest("NEWSHARP", imagePath));
        const std::string sharp = FieldValue(FrameValue(answer.bytes), "SHARP");
        return std::wstring(sharp.begin(), sharp.end());
    }

    testutil::ScratchFolder tempFolder;
    std::unique_ptr<testutil::TempFolderOverride> ownTemp;
    testutil::ScratchFolder image;
    std::string imagePath;
    FakeAnalysisServer fake;
    std::unique_ptr<testutil::ProgramProcess> program;
};

struct RequestCase {
    const char* name;
    std::function<std::string()> request;
    FakeScenario scenario;
    // Whether the request reaches the analysis server.
    bool reachesServer;
    // The reply expected, given the GUID the server recorded.
    std::function<std::string(const std::string& guid)> reply;
};

TEST_F(ServiceRun, EachRequestGetsExactlyTheReplyOfItsKind)
{
    const std::wstring textFile = image.File(L"notes.jpg");
    testutil::WriteBytes(textFile, "not an image but named like one");
    const std::string guid36 = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
    const auto none = [](const std::string&) { return std::string(); };
    const auto codeZero = [](const std::string&) { return std::string("RPT1;8;CODE;1;0"); };
    const auto codeOne = [](const std::string&) { return std::string("RPT1;8;CODE;1;1"); };
    const auto result = [](const std::string& findings) {
        return [findings](const std::string& guid) { return ResultReply(guid, findings); };
    };
    const std::string path = imagePath;
    const std::vector<std::wstring> copiesBefore = testutil::TempJpegs();
    const RequestCase cases[] = {
        {"PTL2 frame", [] { return std::string("PTL2;14;NEW;8;D:\\a.jpg"); }, {}, false, none},
        {"lower-case new", [&] { return NewRequest("new", path); }, {}, false, none},
        {"empty path", [] { return std::string("PTL1;6;NEW;0;"); }, {}, false, none},
        {"field running past the payload", [] { return std::string("PTL1;10;NEW;8;D:\\a.jpg"); }, {}, false, none},
        {"negative LEN", [] { return std::string("PTL1;-6;NEW;0;"); }, {}, false, none},
        {"LEN over the bound", [] { return std::string("PTL1;70000;NEW;8;D:\\a.jpg"); }, {}, false, none},
        {"UPDATE with GUID and GUID",
         [&] {
             return UpdateRequest({{"GUID", guid36}, {"GUID", guid36}});
         },
         {},
         false,
         none},
        {"UPDATE with DISINFO and DISINFO",
         [] {
             return UpdateRequest({{"DISINFO", "m=18\n"}, {"DISINFO", ""}});
         },
         {},
         false,
         none},
        {"UPDATE with a GUID alone",
         [&] {
             return UpdateRequest({{"GUID", guid36}});
         },
         {},
         false,
         none},
        {"UPDATE with an empty GUID",
         [] {
             return UpdateRequest({{"GUID", ""}, {"DISINFO", "m=18\n"}});
         },
         {},
         false,
         none},
        {"NEW for a missing file", [&] { return NewRequest("NEW", path + ".missing"); }, {}, false, codeZero},
        {"NEW for a file that is no JPEG", [&] { return NewRequest("NEW", Narrow(textFile)); }, {}, false, codeZero},
        {"NEWSHARP for a file that is no JPEG",
         [&] { return NewRequest("NEWSHARP", Narrow(textFile)); },
         {},
         false,
         none},
        {"NEWSMART for a missing file", [&] { return NewRequest("NEWSMART", path + ".missing"); }, {}, false, none},
        {"NEW with findings", [&] { return NewRequest("NEW", path); }, AcceptWith("11,b\n"), true, result("b=11\n")},
        {"NEW, tooth 28 missing alone, MISSEND off", [&] { return NewRequest("NEW", path); }, AcceptWith("28,m\n"),
         true, result("")},
        {"NEW without findings", [&] { return NewRequest("NEW", path); }, AcceptWith(""), true, result("")},
        // No tooth seen is no healthy dentition.
        {"NEW, a reply naming no tooth", [&] { return NewRequest("NEW", path); }, AcceptWith("", ""), true, codeZero},
        {"NEW, findings of which no line names a tooth", [&] { return NewRequest("NEW", path); },
         AcceptWith("c,26,36\n"), true, codeZero},
        {"NEW the server refuses", [&] { return NewRequest("NEW", path); }, Refuse(), true, none},
        {"UPDATE, GUID then DISINFO",
         [&] {
             return UpdateRequest({{"GUID", guid36}, {"DISINFO", "b=11,12\nm=12\n"}});
         },
         AcceptWith(""), true, codeOne},
        {"UPDATE, DISINFO then GUID",
         [&] {
             return UpdateRequest({{"DISINFO", "m=18\n"}, {"GUID", guid36}});
         },
         AcceptWith(""), true, codeOne},
        {"UPDATE with X;1;y between",
         [&] {
             return UpdateRequest({{"GUID", guid36}, {"X", "y"}, {"DISINFO", "m=18\n"}});
         },
         AcceptWith(""), true, codeOne},
        {"UPDATE the server refuses",
         [&] {
             return UpdateRequest({{"GUID", guid36}, {"DISINFO", ""}});
         },
         Refuse(), true, codeZero},
    };
    for (const RequestCase& c : cases) {
        fake.SetScenario(c.scenario);
        const size_t before = RecordedCount();
        const ServiceAnswer answer = AskService(c.request());
        ASSERT_TRUE(answer.connected) << c.name;
        EXPECT_TRUE(answer.closed) << c.name;
        EXPECT_EQ(RecordedCount() > before, c.reachesServer) << c.name;
        EXPECT_EQ(answer.bytes, c.reply(LastRecordedGuid())) << c.name;
        EXPECT_EQ(testutil::TempJpegs(), copiesBefore) << c.name << ": a copy that no reply names stayed behind";
    }
    // The update's findings by code went to the server as findings by tooth.
    bool forwarded = false;
    for (const FakeRequest& request : fake.Requests()) {
        forwarded |= FieldValue(request.bytes, KEY_DISINFO) == "11,b\n12,bm\n";
    }
    EXPECT_TRUE(forwarded);
}

TEST_F(ServiceRun, NewsharpUploadsItsCopyAndKeepsItUntilShutdownWhileNewsmartsCopyGoesAtOnce)
{
    const std::vector<std::wstring> before = testutil::TempJpegs();

    fake.SetScenario(AcceptWith("11,b\n"));
    const ServiceAnswer smart = AskService(NewRequest("NEWSMART", imagePath));
    const FakeRequest smartUpload = fake.Requests().back();
    EXPECT_EQ(smart.bytes, ResultReply(LastRecordedGuid(), "b=11\n"));
    EXPECT_EQ(smartUpload.keys, (std::vector<std::string>{KEY_GUID, KEY_MACADDRESS, KEY_JPG, KEY_SJPG, KEY_SNEWPANO}));
    EXPECT_EQ(FieldValue(smartUpload.bytes, KEY_JPG), testutil::ReadBytes(image.File(L"scan.jpg")));
    EXPECT_EQ(testutil::TempJpegs(), before) << "NEWSMART's copy stays behind";

    const ServiceAnswer sharp = AskService(NewRequest("NEWSHARP", imagePath));
    const FakeRequest sharpUpload = fake.Requests().back();
    const std::string sharpPath = FieldValue(FrameValue(sharp.bytes), "SHARP");
    ASSERT_FALSE(sharpPath.empty());
    EXPECT_EQ(sharp.bytes, ResultReply(LastRecordedGuid(), "b=11\n", sharpPath));
    EXPECT_EQ(sharpUpload.keys, (std::vector<std::string>{KEY_GUID, KEY_MACADDRESS, KEY_JPG, KEY_NEWPANO}));
    const std::wstring sharpFile(sharpPath.begin(), sharpPath.end());
    ASSERT_TRUE(testutil::FileExists(sharpFile));
    EXPECT_EQ(FieldValue(sharpUpload.bytes, KEY_JPG), testutil::ReadBytes(sharpFile));

    const ServiceAnswer stop = AskService(SHUTDOWN_FRAME);
    EXPECT_TRUE(stop.closed);
    EXPECT_EQ(stop.bytes, "");
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));
    EXPECT_EQ(program->ExitCode(), 0u);
    EXPECT_FALSE(testutil::FileExists(sharpFile));
}

TEST_F(ServiceRun, NewsharpWritesTheBatchsPictureForColourGreyAndCmykJpegs)
{
    // Grey and CMYK JPEGs decode to other than 24-bit RGB.
    ASSERT_TRUE(testimage::WriteImageFileAs(image.File(L"grey.jpg"), testimage::OtherFormat::GreyJpeg, 641, 333));
    ASSERT_TRUE(testimage::WriteImageFileAs(image.File(L"cmyk.jpg"), testimage::OtherFormat::CmykJpeg, 203, 101));
    testutil::ScratchFolder batch;
    CProgressDlg alone;
    alone.sourceFolder = image.Path() + L"\\";
    alone.targetFolder = batch.Path() + L"\\";
    fake.SetScenario(AcceptWith(""));
    for (const wchar_t* name : {L"scan.jpg", L"grey.jpg", L"cmyk.jpg"}) {
        ASSERT_TRUE(alone.SharpenFile(name));
        const ServiceAnswer answer = AskService(NewRequest("NEWSHARP", Narrow(image.File(name))));
        const std::string sharp = FieldValue(FrameValue(answer.bytes), "SHARP");
        ASSERT_FALSE(sharp.empty()) << Narrow(name);
        EXPECT_TRUE(testutil::ReadBytes(std::wstring(sharp.begin(), sharp.end())) ==
                    testutil::ReadBytes(batch.File(name)))
            << Narrow(name);
    }
}

TEST_F(ServiceRun, AnAnalysisServerThatClosesEarlyOrStaysSilentFailsOnlyItsOwnRequest)
{
    FakeScenario closesEarly;
    closesEarly.closeAtOnce = true;
    FakeScenario silent;
    silent.holdOpen = true;
    for (const FakeScenario& failing : {closesEarly, silent}) {
        fake.SetScenario(failing);
        EXPECT_EQ(AskService(NewRequest("NEW", imagePath), ANALYSIS_REPLY_WAIT_MS + 20000).bytes, "RPT1;8;CODE;1;0");
        fake.SetScenario(AcceptWith("11,b\n"));
        const ServiceAnswer next = AskService(NewRequest("NEW", imagePath));
        EXPECT_EQ(next.bytes, ResultReply(LastRecordedGuid(), "b=11\n"));
    }
}

TEST_F(ServiceRun, TheDialogIsOnNoMonitorAndHasNoTaskBarButton)
{
    const HWND dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    RECT frame{};
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(MonitorFromRect(&frame, MONITOR_DEFAULTTONULL), nullptr);
    const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
}

// What the worker is doing when the dialog ends.
enum class WorkerBusy {
    No,
    // A client connected and sends nothing.
    WithAnIdleClient,
    // An upload that the analysis server stopped reading: the upload still
    // holds the copy open.
    WithAnUnreadUpload,
    // Making a copy of a source that delivers nothing: the copy is
    // registered and open for writing.
    MakingACopy,
};

// How the run ends.
enum class Ending {
    // The message of the case is posted to the dialog.
    Posted,
    // A logoff: the session's two messages, then the process ended from
    // outside, as the system ends it.
    Logoff,
    // The process is ended from outside, then a clean run starts.
    Killed,
};

struct EndingCase {
    const char* name;
    WorkerBusy busy;
    // The request of an unread upload.
    const char* command;
    Ending ending;
    // For a posted ending: WM_CLOSE, WM_DESTROY, or WM_KEYDOWN with `key`.
    UINT message;
    WPARAM key;
};

// The stop's bound on its wait for the worker, and what a loaded machine may
// add to it.
constexpr double kStopBoundSeconds = 3.0;
constexpr double kLoadMarginSeconds = 0.75;

// A copy in the temporary folder other than `known`, or "" when none is.
std::wstring NewTempJpeg(const std::vector<std::wstring>& known)
{
    for (const std::wstring& path : testutil::TempJpegs()) {
        if (std::find(known.begin(), known.end(), path) == known.end()) {
            return path;
        }
    }
    return std::wstring();
}

// Someone holds the file open, and does not share it for writing.
bool HeldOpen(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

TEST_F(ServiceRun, HoweverTheDialogEndsTheServerStopsAndNoCopyStaysBehind)
{
    // Well over what a loopback connection holds unread (about 4 MB here),
    // so that an upload the server stops reading stays in the middle of its
    // images.
    const std::wstring large = image.File(L"large.jpg");
    ASSERT_TRUE(WriteNoisyJpeg(large, 4000, 3000));
    std::atomic<bool> stalled{false};
    std::atomic<bool> release{false};
    FakeScenario unread;
    unread.onFirstBytes = [&] {
        stalled = true;
        for (int waited = 0; !release && waited < 60000; waited += 10) {
            Sleep(10);
        }
    };
    unread.closeAfterFirstBytes = true;
    const EndingCase cases[] = {
        {"close, idle", WorkerBusy::No, "", Ending::Posted, WM_CLOSE, 0},
        {"Enter, idle", WorkerBusy::No, "", Ending::Posted, WM_KEYDOWN, VK_RETURN},
        {"Esc, idle", WorkerBusy::No, "", Ending::Posted, WM_KEYDOWN, VK_ESCAPE},
        {"WM_DESTROY posted, idle", WorkerBusy::No, "", Ending::Posted, WM_DESTROY, 0},
        {"close, a client holds its connection", WorkerBusy::WithAnIdleClient, "", Ending::Posted, WM_CLOSE, 0},
        {"Enter, a client holds its connection", WorkerBusy::WithAnIdleClient, "", Ending::Posted, WM_KEYDOWN,
         VK_RETURN},
        {"WM_DESTROY posted, a client holds its connection", WorkerBusy::WithAnIdleClient, "", Ending::Posted,
         WM_DESTROY, 0},
        {"close during an unread NEWSHARP upload", WorkerBusy::WithAnUnreadUpload, "NEWSHARP", Ending::Posted, WM_CLOSE,
         0},
        {"close during an unread NEWSMART upload", WorkerBusy::WithAnUnreadUpload, "NEWSMART", Ending::Posted, WM_CLOSE,
         0},
        {"close while a copy is being made", WorkerBusy::MakingACopy, "", Ending::Posted, WM_CLOSE, 0},
        {"Enter while a copy is being made", WorkerBusy::MakingACopy, "", Ending::Posted, WM_KEYDOWN, VK_RETURN},
        {"logoff, idle", WorkerBusy::No, "", Ending::Logoff, 0, 0},
        {"logoff during an unread NEWSMART upload", WorkerBusy::WithAnUnreadUpload, "NEWSMART", Ending::Logoff, 0, 0},
        {"logoff while a copy is being made", WorkerBusy::MakingACopy, "", Ending::Logoff, 0, 0},
        {"killed, idle", WorkerBusy::No, "", Ending::Killed, 0, 0},
        {"killed during an unread NEWSMART upload", WorkerBusy::WithAnUnreadUpload, "NEWSMART", Ending::Killed, 0, 0},
        {"killed while a copy is being made", WorkerBusy::MakingACopy, "", Ending::Killed, 0, 0},
    };
    for (const EndingCase& c : cases) {
        const std::vector<std::wstring> before = testutil::TempJpegs();
        const std::wstring registered = MakeSharpenedCopy();
        ASSERT_TRUE(testutil::FileExists(registered)) << c.name;

        stalled = false;
        release = false;
        std::unique_ptr<HeldConnection> client;
        std::unique_ptr<NeverDeliveredFile> nothing;
        std::thread uploader;
        bool busy = true;
        const std::vector<std::wstring> known = testutil::TempJpegs();
        // The copy the worker holds open: uploading it, or writing it.
        std::wstring inFlight;
        if (c.busy == WorkerBusy::WithAnIdleClient) {
            client = std::make_unique<HeldConnection>();
            busy = client->Connected();
        } else if (c.busy == WorkerBusy::WithAnUnreadUpload) {
            fake.SetScenario(unread);
            uploader = std::thread([&] { AskService(NewRequest(c.command, Narrow(large)), kEndBoundMs); });
            busy = testutil::PumpUntil(
                [&] {
                    // Only once the upload has begun: opening the copy
                    // ourselves earlier could keep the upload from opening it.
                    if (!stalled) {
                        return false;
                    }
                    inFlight = NewTempJpeg(known);
                    return !inFlight.empty() && HeldOpen(inFlight);
                },
                60000);
        } else if (c.busy == WorkerBusy::MakingACopy) {
            nothing = std::make_unique<NeverDeliveredFile>();
            client = std::make_unique<HeldConnection>(NewRequest("NEWSHARP", Narrow(nothing->Path())));
            busy = nothing->Ready() &&
                   testutil::PumpUntil([&] { return !(inFlight = NewTempJpeg(known)).empty(); }, 20000);
        }

        const HWND dialog = Dialog();
        const auto start = std::chrono::steady_clock::now();
        // How long the stop took to delete the copies, and whether it did.
        double stopped = 0;
        bool cleaned = false;
        if (c.ending == Ending::Posted) {
            PostMessageW(dialog, c.message, c.key, 0);
            cleaned = testutil::PumpUntil([&] { return !testutil::FileExists(registered); }, kEndBoundMs);
            stopped = SecondsSince(start);
        } else if (c.ending == Ending::Logoff) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(dialog, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kEndBoundMs, &answer);
            const auto ending = std::chrono::steady_clock::now();
            SendMessageTimeoutW(dialog, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kEndBoundMs, &answer);
            stopped = SecondsSince(ending);
            // The system ends the process as soon as the handler returns.
            cleaned = !testutil::FileExists(registered);
            TerminateProcess(program->Handle(), 1);
        } else {
            TerminateProcess(program->Handle(), 1);
        }
        const bool ended = program->WaitForEnd(kEndBoundMs);
        release = true;
        if (uploader.joinable()) {
            uploader.join();
        }
        fake.SetScenario(AcceptWith(""));
        EXPECT_NE(dialog, nullptr) << c.name;
        ASSERT_TRUE(busy) << c.name << ": the worker was not held as the case needs";
        ASSERT_TRUE(ended) << c.name;
        if (c.ending == Ending::Killed) {
            // What a killed run leaves: every copy but the one that goes
            // with its handle. The next start deletes them before it listens.
            EXPECT_TRUE(testutil::FileExists(registered)) << c.name;
            EXPECT_EQ(testutil::FileExists(inFlight), c.busy == WorkerBusy::MakingACopy) << c.name;
        } else {
            EXPECT_TRUE(cleaned) << c.name << ": the stop left the copies";
            if (c.busy == WorkerBusy::No) {
                EXPECT_LT(stopped, kStopBoundSeconds) << c.name;
            } else {
                // The worker is given up after the wait, well before anything
                // that holds it would have let it go.
                EXPECT_GE(stopped, kStopBoundSeconds - 0.1) << c.name;
                EXPECT_LT(stopped, kStopBoundSeconds + kLoadMarginSeconds) << c.name;
            }
            if (c.ending == Ending::Posted) {
                EXPECT_EQ(program->ExitCode(), 0u) << c.name;
            }
            // Before a next start could sweep them: a copy still open when
            // the process ended goes as the system closes its handles.
            EXPECT_TRUE(
                testutil::PumpUntil([&] { return testutil::EntriesIn(tempFolder.Path()).empty(); }, kEndBoundMs))
                << c.name << ": the stop left something in the temporary folder";
        }
        // A second start takes the single instance and listens, once the
        // process ended from outside has let go of the port: the system
        // closes its sockets a moment after it counts as ended.
        ASSERT_TRUE(WaitForServicePortClosed(kEndBoundMs)) << c.name;
        StartService();
        EXPECT_EQ(testutil::TempJpegs(), before) << c.name << ": a copy stayed behind";
        EXPECT_TRUE(testutil::EntriesIn(tempFolder.Path()).empty()) << c.name << ": the temporary folder is not empty";
    }
}

// A start sweeps only what no running service uses: a second start of this
// session, and a start while a service of another session that shares the
// temporary folder holds the journal (played by this test process).
TEST_F(ServiceRun, AStartLeavesTheCopiesOfARunningServiceAlone)
{
    const std::wstring named = MakeSharpenedCopy();
    ASSERT_TRUE(testutil::FileExists(named));
    testutil::ProgramProcess second(L"/service");
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(second.WaitForEnd(kEndBoundMs));
    EXPECT_TRUE(testutil::FileExists(named)) << "a second start deleted a copy named to a client";
    AskService(SHUTDOWN_FRAME);
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));

    const auto copyPath = [&] {
        GUID guid{};
        CoCreateGuid(&guid);
        wchar_t path[TEMP_PATH_CAPACITY] = {};
        MakeTempFilePath(&guid, L".jpg", path);
        return std::wstring(path);
    };
    CTempFileJournal otherSession;
    ASSERT_TRUE(otherSession.Open(kServiceJournalName));
    const std::wstring inUse = copyPath();
    ASSERT_TRUE(otherSession.Record(inUse));
    testutil::WriteBytes(inUse, "another session's patient");
    const std::wstring leftover = copyPath();
    {
        CTempFileJournal killed;
        ASSERT_TRUE(killed.Open(kServiceJournalName));
        ASSERT_TRUE(killed.Record(leftover));
        testutil::WriteBytes(leftover, "a killed run's patient");
    }
    StartService();
    // Answered only once the start's sweep is over.
    EXPECT_TRUE(testutil::FileExists(MakeSharpenedCopy()));
    EXPECT_TRUE(testutil::FileExists(inUse)) << "the start deleted a copy another service uses";
    // The killed run's copy waits for a start that finds no one using the journal.
    EXPECT_TRUE(testutil::FileExists(leftover));
    DeleteFileW(inUse.c_str());
    otherSession.Strike(inUse);
    // The other session's service ends; the next start finds no one.
    ASSERT_TRUE(otherSession.Open(kServiceJournalName));
    AskService(SHUTDOWN_FRAME);
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));
    StartService();
    EXPECT_TRUE(testutil::PumpUntil([&] { return !testutil::FileExists(leftover); }, kEndBoundMs));
}

// Runs the service in a Wine prefix and server of its own, as another session
// of the user's would, with `temp` as its temporary folder, until a stop
// request ends it; false when it did not listen or end within the bounds.
bool RunServiceInSecondPrefix(const std::wstring& temp)
{
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring doneFile = L"Z:\\tmp\\quill-second-prefix-" + id + L".done";
    DeleteFileW(doneFile.c_str());
    const auto quoted = [](const std::string& text) { return L"\"" + std::wstring(text.begin(), text.end()) + L"\" "; };
    std::wstring command = L"/bin/bash " + quoted(QUILL_SECOND_PREFIX_SCRIPT) + quoted(QUILL_SECOND_PREFIX) + L"\"" +
                           temp + L"\" " + quoted("/tmp/quill-second-prefix-" + Narrow(id) + ".done") +
                           quoted(QUILL_PROGRAM_UNIX_PATH) + quoted(QUILL_PROGRAM_WORK_UNIX_PATH) + L"/service";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    // The first run makes the prefix, which takes a while. The stop request
    // is taken once the start's sweep is over.
    const bool listened = WaitForServicePort(90000);
    AskService(SHUTDOWN_FRAME);
    const bool ended = testutil::PumpUntil([&] { return testutil::FileExists(doneFile); }, 30000);
    DeleteFileW(doneFile.c_str());
    return listened && ended && WaitForServicePortClosed(kEndBoundMs);
}

// Two Wine prefixes stand for two sessions of one user whose temporary folder
// is the same: what a running instance of one uses, the other's start leaves.
TEST_F(ServiceRun, AStartInAnotherPrefixSharingTheTemporaryFolderLeavesWhatItsInstanceUses)
{
    AskService(SHUTDOWN_FRAME);
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));
    const std::wstring shared = L"Z:\\tmp\\quill-shared-temp-" + std::to_wstring(GetCurrentProcessId());
    testutil::RemoveTree(shared);
    ASSERT_TRUE(CreateDirectoryW(shared.c_str(), nullptr));
    const testutil::TempFolderOverride sharedTemp(shared);
    // The first prefix's instance, played by this test process, with a copy
    // just named to a client.
    CTempFileJournal firstPrefix;
    ASSERT_TRUE(firstPrefix.Open(kServiceJournalName));
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    wchar_t inUse[TEMP_PATH_CAPACITY] = {};
    ASSERT_TRUE(MakeTempFilePath(&guid, L".jpg", inUse));
    ASSERT_TRUE(firstPrefix.Record(inUse));
    testutil::WriteBytes(inUse, "the first prefix's patient");

    EXPECT_TRUE(RunServiceInSecondPrefix(shared));
    EXPECT_TRUE(testutil::FileExists(inUse)) << "a start in another prefix deleted a copy in use";
    // Killed meanwhile: the next start of the other prefix sweeps the copy.
    ASSERT_TRUE(firstPrefix.Open(kServiceJournalName));
    EXPECT_TRUE(RunServiceInSecondPrefix(shared));
    EXPECT_FALSE(testutil::FileExists(inUse));
    testutil::RemoveTree(shared);
}

TEST_F(ServiceRun, ATemporaryFolderNoCodePageCanSpellFailsOnlyTheRequestThatMustNameItsCopy)
{
    AskService(SHUTDOWN_FRAME);
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));
    // Chinese, Greek and an emoji: no ANSI code page holds them all.
    testutil::ScratchFolder temp;
    const std::wstring folder = temp.File(L"\u81e8\u6642 \u03a9\u03bc\u03ad\u03b3\u03b1 \U0001F9B7");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    {
        const testutil::TempFolderOverride override(folder);
        StartService();
    }
    const std::string guid36 = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
    fake.SetScenario(AcceptWith("11,b\n"));

    size_t before = RecordedCount();
    const ServiceAnswer plain = AskService(NewRequest("NEW", imagePath));
    EXPECT_EQ(plain.bytes, ResultReply(LastRecordedGuid(), "b=11\n"));
    EXPECT_EQ(RecordedCount(), before + 1);

    // The reply could not name the copy in the code page.
    before = RecordedCount();
    EXPECT_EQ(AskService(NewRequest("NEWSHARP", imagePath)).bytes, "RPT1;8;CODE;1;0");
    EXPECT_EQ(RecordedCount(), before) << "NEWSHARP uploaded a copy it cannot name";

    // NEWSMART never names its copy: it is read by its wide path.
    const ServiceAnswer smart = AskService(NewRequest("NEWSMART", imagePath));
    EXPECT_EQ(smart.bytes, ResultReply(LastRecordedGuid(), "b=11\n"));
    const FakeRequest smartUpload = fake.Requests().back();
    EXPECT_EQ(FieldValue(smartUpload.bytes, KEY_JPG), testutil::ReadBytes(image.File(L"scan.jpg")));
    EXPECT_FALSE(FieldValue(smartUpload.bytes, KEY_SJPG).empty());

    const std::string update = UpdateRequest({{"GUID", guid36}, {"DISINFO", "m=18\n"}});
    EXPECT_EQ(AskService(update).bytes, "RPT1;8;CODE;1;1");
    EXPECT_TRUE(testutil::EntriesIn(folder).empty()) << "a copy stayed in the temporary folder";
    AskService(SHUTDOWN_FRAME);
    EXPECT_TRUE(program->WaitForEnd(kEndBoundMs));
}

TEST_F(ServiceRun, TheMissendSettingKeepsMissingOnTheWisdomTeeth)
{
    AskService(SHUTDOWN_FRAME);
    ASSERT_TRUE(program->WaitForEnd(kEndBoundMs));
    const SettingsFileOverride settings("[SYSTEM]\r\nMISSEND=1\r\n");
    StartService();
    fake.SetScenario(AcceptWith("28,m\n"));
    const ServiceAnswer answer = AskService(NewRequest("NEW", imagePath));
    EXPECT_EQ(answer.bytes, ResultReply(LastRecordedGuid(), "m=28\n"));
    AskService(SHUTDOWN_FRAME);
    EXPECT_TRUE(program->WaitForEnd(kEndBoundMs));
}

TEST(ServiceStart, APortAlreadyTakenEndsTheModeAtOnce)
{
    OwnedSocket taken(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SERVICE_PORT);
    inet_pton(AF_INET, SERVICE_ADDRESS, &address.sin_addr);
    ASSERT_EQ(bind(taken.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(taken.Get(), 1), 0);

    const auto start = std::chrono::steady_clock::now();
    testutil::ProgramProcess program(L"/service");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForEnd(kEndBoundMs));
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(program.ExitCode(), 0u);
    // The program that holds the port is not ours to stop.
    if (WaitReadable(taken.Get(), 0)) {
        OwnedSocket stray(accept(taken.Get(), nullptr, nullptr));
        char received[64];
        EXPECT_FALSE(WaitReadable(stray.Get(), 500) && ReceiveSome(stray.Get(), received, sizeof received) > 0)
            << "the service sent its stop request to another program";
    }
}

} // namespace
