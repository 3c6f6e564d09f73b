#include "analysis/ToothDetect.h"

#include "FakeAnalysisServer.h"
#include "analysis/TextField.h"
#include "foundation/Utf8.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string GUID_TEXT = "00112233-4455-6677-8899-AABBCCDDEEFF";
const std::string MAC = "00-1A-2B-3C-4D-5E";
// "#@GUID@#;36;" and the GUID, "#@MACADDRESS@#;17;" and the id.
const int PREFIX = 12 + 36 + 18 + 17;

class ToothDetectTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("quill_detect_" + std::to_string(std::random_device()()) + std::to_string(counter++));
        fs::create_directories(folder);
        ASSERT_TRUE(server.Start(0));
        detect.SetServer("127.0.0.1", server.Port());
        detect.SetReplyWait(10000);
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // A file of `size` bytes of every value, NUL and ';' among them.
    std::string MakeImage(const std::string& name, size_t size, std::string* content)
    {
        std::mt19937 random(static_cast<unsigned>(size));
        content->resize(size);
        for (char& c : *content) {
            c = static_cast<char>(random());
        }
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary).write(content->data(), static_cast<std::streamsize>(size));
        return path.string();
    }

    void Answer(const FieldList& fields)
    {
        FakeScenario scenario;
        scenario.reply = ReportFrame(fields);
        server.SetScenario(scenario);
    }

    FakeRequest OnlyRequest()
    {
        const auto requests = server.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? FakeRequest{} : requests.back();
    }

    static inline int counter = 0;
    fs::path folder;
    FakeAnalysisServer server;
    CToothDetect detect;
};

struct UploadCase {
    const char* what;
    int size1;
    // -1: one image.
    int size2;
};

TEST_F(ToothDetectTest, DetectSendsTheExactRequestWhereverTheImagesEndInTheBlock)
{
    const int jpgHeader4 = 13;  // "#@JPG@#;NNNN;"
    const int sjpgHeader4 = 14; // "#@SJPG@#;NNNN;"
    const UploadCase cases[] = {
        {"100-byte file", 100, -1},
        {"empty file", 0, -1},
        {"13 bytes left for the 14-byte token", FRAME_BUFFER_SIZE - PREFIX - jpgHeader4 - 13, -1},
        {"14 bytes left for the 14-byte token", FRAME_BUFFER_SIZE - PREFIX - jpgHeader4 - 14, -1},
        {"image ends at the block's end", FRAME_BUFFER_SIZE - PREFIX - jpgHeader4, -1},
        {"image over several blocks", 3 * FRAME_BUFFER_SIZE + 77, -1},
        {"two images", 100, 200},
        {"two images, empty second", 100, 0},
        {"two images, empty first", 0, 100},
        {"14 bytes left for the 15-byte token", 100, FRAME_BUFFER_SIZE - sjpgHeader4 - 14},
        {"15 bytes left for the 15-byte token", 100, FRAME_BUFFER_SIZE - sjpgHeader4 - 15},
        {"second image ends at the block's end", 100, FRAME_BUFFER_SIZE - sjpgHeader4},
        {"first image ends at the block's end", FRAME_BUFFER_SIZE - PREFIX - jpgHeader4, 10},
    };
    Answer({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "boxes"}, {"#@DISINFO@#", "codes"}});
    for (const auto& c : cases) {
        const int before = static_cast<int>(server.Requests().size());
        std::string content1;
        std::string content2;
        const std::string path1 = MakeImage("a.jpg", static_cast<size_t>(c.size1), &content1);
        const std::string path2 = c.size2 < 0 ? "" : MakeImage("b.jpg", static_cast<size_t>(c.size2), &content2);
        bool accepted = false;
        std::string posInfo;
        std::string disInfo;
        ASSERT_TRUE(detect.Detect(GUID_TEXT, MAC, path1, path2, &accepted, &posInfo, &disInfo)) << c.what;
        EXPECT_TRUE(accepted) << c.what;
        EXPECT_EQ(posInfo, "boxes") << c.what;
        EXPECT_EQ(disInfo, "codes") << c.what;

        std::string expected = Field("#@GUID@#", GUID_TEXT) + Field("#@MACADDRESS@#", MAC) + Field("#@JPG@#", content1);
        expected += c.size2 < 0 ? Field("#@NEWPANO@#", "") : Field("#@SJPG@#", content2) + Field("#@SNEWPANO@#", "");
        const auto requests = server.Requests();
        ASSERT_EQ(static_cast<int>(requests.size()), before + 1) << c.what;
        EXPECT_TRUE(requests.back().complete) << c.what;
        EXPECT_TRUE(requests.back().bytes == expected) << c.what << ": " << requests.back().bytes.size() << " bytes";
    }
}

TEST_F(ToothDetectTest, DetectReadsImagesByWidePathsInAFolderNoCodePageCanSpell)
{
    // Chinese, Greek and an emoji in one folder name.
    const std::wstring inner = L"\u75c5\u60a3 \u738b\u5c0f\u660e \u03a9\u03bc\u03ad\u03b3\u03b1 \U0001F9B7";
    std::string content1;
    std::string content2;
    MakeImage("a.jpg", 3 * FRAME_BUFFER_SIZE + 5, &content1);
    MakeImage("b.jpg", 300, &content2);
#ifdef _WIN32
    const std::wstring base = folder.wstring() + L"\\" + inner;
    fs::create_directories(fs::path(base));
    fs::rename(folder / "a.jpg", fs::path(base) / L"\u5168\u53e3\u7247.jpg");
    fs::rename(folder / "b.jpg", fs::path(base) / L"b.jpg");
    const std::wstring path1 = base + L"\\\u5168\u53e3\u7247.jpg";
    const std::wstring path2 = base + L"\\b.jpg";
#else
    const std::string base = (folder / WideToUtf8(inner)).string();
    fs::create_directories(base);
    fs::rename(folder / "a.jpg", fs::path(base) / WideToUtf8(L"\u5168\u53e3\u7247.jpg"));
    fs::rename(folder / "b.jpg", fs::path(base) / "b.jpg");
    const std::wstring path1 = Utf8ToWide(base + "/" + WideToUtf8(L"\u5168\u53e3\u7247.jpg"));
    const std::wstring path2 = Utf8ToWide(base + "/b.jpg");
#endif
    Answer({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "boxes"}, {"#@DISINFO@#", "codes"}});
    bool accepted = false;
    std::string posInfo;
    std::string disInfo;
    ASSERT_TRUE(detect.Detect(GUID_TEXT, MAC, path1, std::wstring(), &accepted, &posInfo, &disInfo));
    ASSERT_TRUE(detect.Detect(GUID_TEXT, MAC, path1, path2, &accepted, &posInfo, &disInfo));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(disInfo, "codes");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string head = Field("#@GUID@#", GUID_TEXT) + Field("#@MACADDRESS@#", MAC) + Field("#@JPG@#", content1);
    EXPECT_TRUE(requests[0].bytes == head + Field("#@NEWPANO@#", ""));
    EXPECT_TRUE(requests[1].bytes == head + Field("#@SJPG@#", content2) + Field("#@SNEWPANO@#", ""));
    // A wide path that names no file fails before any connection.
    EXPECT_FALSE(detect.Detect(GUID_TEXT, MAC, path1 + L"x", std::wstring(), &accepted, &posInfo, &disInfo));
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(ToothDetectTest, DetectMakesNoConnectionWithoutBothFiles)
{
    std::string content;
    const std::string present = MakeImage("a.jpg", 10, &content);
    const std::string missing = (folder / "missing.jpg").string();
    Answer({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "a:b"}});
    bool accepted = true;
    std::string posInfo = "kept";
    std::string disInfo;
    EXPECT_FALSE(detect.Detect(GUID_TEXT, MAC, missing, "", &accepted, &posInfo, &disInfo));
    EXPECT_FALSE(detect.Detect(GUID_TEXT, MAC, present, missing, &accepted, &posInfo, &disInfo));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(posInfo, "kept");
    // A request after them is the first the server sees.
    std::string part1;
    std::string part2;
    EXPECT_TRUE(detect.TestMessage(&accepted, &part1, &part2));
    EXPECT_EQ(OnlyRequest().bytes, "#@TESTMSG@#;0;");
}

struct ReplyCase {
    const char* what;
    std::string reply;
    bool result;
    bool accepted;
    std::string posInfo;
    std::string disInfo;
};

TEST_F(ToothDetectTest, DetectReadsTheReplyFields)
{
    const std::string runsPast = Field("#@REPORT@#", "#@RETCODE@#;5;1");
    const ReplyCase cases[] = {
        {"all three", ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "p"}, {"#@DISINFO@#", "d"}}), true, true, "p",
         "d"},
        {"any order, unknown keys skipped",
         ReportFrame({{"#@DISINFO@#", "d"},
                      {"#@OTHER@#", "x"},
                      {"#@EXTINFO@#", "e"},
                      {"#@POSINFO@#", "p"},
                      {"#@RETCODE@#", "1"}}),
         true, true, "p", "d"},
        {"refused first", ReportFrame({{"#@RETCODE@#", "0"}, {"#@POSINFO@#", "p"}, {"#@DISINFO@#", "d"}}), true, false,
         "", ""},
        {"refused after a field", ReportFrame({{"#@POSINFO@#", "p"}, {"#@RETCODE@#", "2"}, {"#@DISINFO@#", "d"}}), true,
         false, "p", ""},
        {"no findings", ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "p"}}), false, true, "p", ""},
        {"a duplicate counts twice, the later wins",
         ReportFrame({{"#@POSINFO@#", "p1"}, {"#@POSINFO@#", "p2"}, {"#@RETCODE@#", "1"}}), true, true, "p2", ""},
        {"another frame key",
         ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "p"}, {"#@DISINFO@#", "d"}}, "#@REPORTX@#"), false, false,
         "", ""},
        {"a value past the frame", runsPast, false, false, "", ""},
        {"a negative length", Field("#@REPORT@#", "#@RETCODE@#;-1;"), false, false, "", ""},
        {"an incomplete field header", Field("#@REPORT@#", "#@RETCODE@#;1"), false, false, "", ""},
        {"an empty frame", Field("#@REPORT@#", ""), false, false, "", ""},
    };
    std::string content;
    const std::string path = MakeImage("a.jpg", 100, &content);
    for (const auto& c : cases) {
        FakeScenario scenario;
        scenario.reply = c.reply;
        server.SetScenario(scenario);
        bool accepted = false;
        std::string posInfo = "stale";
        std::string disInfo = "stale";
        EXPECT_EQ(detect.Detect(GUID_TEXT, MAC, path, "", &accepted, &posInfo, &disInfo), c.result) << c.what;
        EXPECT_EQ(accepted, c.accepted) << c.what;
        EXPECT_EQ(posInfo, c.posInfo) << c.what;
        EXPECT_EQ(disInfo, c.disInfo) << c.what;
    }
}

TEST_F(ToothDetectTest, UpdateFindingsAcceptsOnlyAOneOrAnEmptyCode)
{
    const struct {
        std::string code;
        bool accepted;
    } codes[] = {{"1", true}, {"", true}, {std::string("1\0x", 3), true}, {"0", false}, {"10", false}, {"2", false}};
    for (const auto& c : codes) {
        FakeScenario scenario;
        scenario.reply = ReportFrame({{"#@RETCODE@#", c.code}});
        server.SetScenario(scenario);
        bool accepted = !c.accepted;
        EXPECT_TRUE(detect.UpdateFindings(GUID_TEXT, MAC, "11:1,2\r\n", &accepted)) << c.code;
        EXPECT_EQ(accepted, c.accepted) << c.code;
    }
    const std::string expected = Field("#@GUID@#", GUID_TEXT) + Field("#@MACADDRESS@#", MAC) +
                                 Field("#@DISINFO@#", "11:1,2\r\n") + Field("#@UPDPANO@#", "");
    EXPECT_EQ(server.Requests().back().bytes, expected);
    EXPECT_EQ(ReportFrame({{"#@RETCODE@#", "1"}}), "#@REPORT@#;15;#@RETCODE@#;1;1");
}

TEST_F(ToothDetectTest, TransferTestsSplitAndEchoTheExtraText)
{
    // The answer goes into the first part, emptied as the reply is read; only
    // an answer with a ':' is split. A request that never reaches the reply
    // leaves both parts alone.
    const struct {
        const char* what;
        std::string reply;
        bool result;
        std::string part1;
        std::string part2;
    } cases[] = {
        {"split at the first ':'", ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "ab:cd:ef"}}), true, "ab",
         "cd:ef"},
        {"two empty parts", ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", ":"}}), true, "", ""},
        {"no ':'", ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "abc"}}), false, "abc", "old2"},
        {"refused before the text", ReportFrame({{"#@RETCODE@#", "0"}, {"#@EXTINFO@#", "a:b"}}), false, "", "old2"},
        {"truncated reply", ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "a:b"}}).substr(0, 20), false, "",
         "old2"},
    };
    for (const auto& c : cases) {
        FakeScenario scenario;
        scenario.reply = c.reply;
        server.SetScenario(scenario);
        bool accepted = false;
        std::string part1 = "old1";
        std::string part2 = "old2";
        EXPECT_EQ(detect.TestMessage(&accepted, &part1, &part2), c.result) << c.what;
        EXPECT_EQ(part1, c.part1) << c.what;
        EXPECT_EQ(part2, c.part2) << c.what;
    }
    EXPECT_EQ(server.Requests().back().bytes, "#@TESTMSG@#;0;");

    FakeScenario echo;
    echo.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "hello"}});
    server.SetScenario(echo);
    bool accepted = false;
    std::string text;
    ASSERT_TRUE(detect.DataReflect("hello", &accepted, &text));
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(server.Requests().back().bytes, "#@DATAREFLECT@#;5;hello");
}

TEST_F(ToothDetectTest, DataReflectRefusesARequestOfAFullBufferWithoutConnecting)
{
    Answer({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "ok"}});
    // "#@DATAREFLECT@#;NNNN;" is 21 bytes; the request and its NUL must fit in the buffer.
    const std::string fits(FRAME_BUFFER_SIZE - 21 - 1, 't');
    const std::string tooLong(FRAME_BUFFER_SIZE - 21, 't');
    bool accepted = false;
    std::string echo;
    EXPECT_FALSE(detect.DataReflect(tooLong, &accepted, &echo));
    EXPECT_TRUE(detect.DataReflect(fits, &accepted, &echo));
    EXPECT_EQ(OnlyRequest().bytes, Field("#@DATAREFLECT@#", fits));
}

TEST_F(ToothDetectTest, RepliesThatComeLateInPiecesOrNotAtAll)
{
    const std::string frame = ReportFrame({{"#@RETCODE@#", "1"}, {"#@EXTINFO@#", "a:b"}});
    struct Case {
        const char* what;
        FakeScenario scenario;
        bool result;
    };
    std::vector<Case> cases(6);
    cases[0] = {"in pieces", {}, true};
    cases[0].scenario.reply = frame;
    cases[0].scenario.pieces = {15, 9, 1, 20};
    cases[0].scenario.pieceDelayMs = 30;
    // The frame's header itself may come in pieces, however slowly, within the wait.
    for (const size_t cut : {3, 5, 7}) {
        Case header{"header cut", {}, true};
        header.scenario.reply = frame;
        header.scenario.pieces = {cut};
        header.scenario.pieceDelayMs = 400;
        cases.push_back(header);
    }
    Case byteByByte{"one byte per send", {}, true};
    byteByByte.scenario.reply = frame;
    byteByByte.scenario.pieces.assign(frame.size() - 1, 1);
    byteByByte.scenario.pieceDelayMs = 1;
    cases.push_back(byteByByte);
    Case endless{"a header that never ends", {}, false};
    endless.scenario.reply = "#@REPORT@#;2";
    endless.scenario.holdOpen = true;
    cases.push_back(endless);
    cases[1] = {"after a delay within the wait", {}, true};
    cases[1].scenario.reply = frame;
    cases[1].scenario.delayMs = 200;
    cases[2] = {"truncated", {}, false};
    cases[2].scenario.reply = frame.substr(0, frame.size() - 2);
    cases[3] = {"closed without a reply", {}, false};
    cases[4] = {"closed at once", {}, false};
    cases[4].scenario.closeAtOnce = true;
    cases[5] = {"never answered", {}, false};
    cases[5].scenario.holdOpen = true;

    detect.SetReplyWait(1500);
    for (const auto& c : cases) {
        server.SetScenario(c.scenario);
        bool accepted = false;
        std::string part1;
        std::string part2;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(detect.TestMessage(&accepted, &part1, &part2), c.result) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.what;
        EXPECT_EQ(part2, c.result ? "b" : "") << c.what;
    }
}

TEST_F(ToothDetectTest, RepliesAreBoundAtOneMebibyte)
{
    // The whole reply comes and the connection stays open: only the bound
    // can refuse it.
    const int mebibyte = 1024 * 1024;
    const std::string retcode = Field("#@RETCODE@#", "1");
    const int extInfoHeader = static_cast<int>(std::string("#@EXTINFO@#;1234567;").size());
    for (const int valueLen : {mebibyte, mebibyte + 1}) {
        std::string text(static_cast<size_t>(valueLen) - retcode.size() - extInfoHeader, 'e');
        text[0] = ':';
        const std::string value = retcode + Field("#@EXTINFO@#", text);
        ASSERT_EQ(static_cast<int>(value.size()), valueLen);
        FakeScenario scenario;
        scenario.reply = Field("#@REPORT@#", value);
        scenario.holdOpen = true;
        server.SetScenario(scenario);
        bool accepted = false;
        std::string part1;
        std::string part2;
        EXPECT_EQ(detect.TestMessage(&accepted, &part1, &part2), valueLen <= mebibyte) << valueLen;
        EXPECT_EQ(part2.size(), valueLen <= mebibyte ? text.size() - 1 : 0u) << valueLen;
    }
}

TEST_F(ToothDetectTest, AnImageThatShrinksDuringTheUploadFailsTheRequest)
{
    // Large enough that the server hears from us long before the file is read.
    std::string content;
    const std::string path = MakeImage("a.jpg", 16 * 1024 * 1024, &content);
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "p"}, {"#@DISINFO@#", "d"}});
    scenario.onFirstBytes = [path] { std::ofstream(path, std::ios::binary | std::ios::trunc); };
    server.SetScenario(scenario);
    bool accepted = false;
    std::string posInfo;
    std::string disInfo;
    EXPECT_FALSE(detect.Detect(GUID_TEXT, MAC, path, "", &accepted, &posInfo, &disInfo));
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(OnlyRequest().complete);
}

TEST_F(ToothDetectTest, AServerThatNeverTakesTheConnectionFailsItWithinTheConnectWait)
{
    SilentListener silent;
    ASSERT_TRUE(silent.Start());
    detect.SetServer("127.0.0.1", silent.Port());
    bool accepted = true;
    std::string part1 = "old1";
    std::string part2 = "old2";
    const auto start = std::chrono::steady_clock::now();
    auto request = std::async(std::launch::async, [&] { return detect.TestMessage(&accepted, &part1, &part2); });
    const bool ended = request.wait_for(std::chrono::milliseconds(CONNECT_WAIT_MS + 3000)) == std::future_status::ready;
    const auto waited = std::chrono::steady_clock::now() - start;
    // A request still waiting is let go by closing the listener.
    silent.Stop();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(request.get());
    EXPECT_GE(waited, std::chrono::milliseconds(CONNECT_WAIT_MS - 100));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(part1, "old1");
    EXPECT_EQ(part2, "old2");
}

TEST_F(ToothDetectTest, AScenarioFromTextDrivesTheServer)
{
    FakeScenario scenario;
    ASSERT_TRUE(ParseScenario("// a comment\n"
                              "field #@EXTINFO@# a\\tb:c\\\\d\r\n"
                              "\n"
                              "field #@RETCODE@# 1\n"
                              "pieces 20 4\n"
                              "piecedelay 20\n",
                              &scenario));
    EXPECT_EQ(scenario.reply, ReportFrame({{"#@EXTINFO@#", "a\tb:c\\d"}, {"#@RETCODE@#", "1"}}));
    server.SetScenario(scenario);
    bool accepted = false;
    std::string part1;
    std::string part2;
    EXPECT_TRUE(detect.TestMessage(&accepted, &part1, &part2));
    EXPECT_EQ(part1, "a\tb");
    EXPECT_EQ(part2, "c\\d");

    ASSERT_TRUE(ParseScenario("key #@REPORTX@#\nfield #@RETCODE@# 1\ntruncate 5\n", &scenario));
    EXPECT_EQ(scenario.reply, "#@REP");
    ASSERT_TRUE(ParseScenario("noreply\nhold\ndelay 7\n", &scenario));
    EXPECT_TRUE(scenario.reply.empty());
    EXPECT_TRUE(scenario.holdOpen);
    EXPECT_EQ(scenario.delayMs, 7);
    EXPECT_FALSE(ParseScenario("answer 1\n", &scenario));
}

TEST_F(ToothDetectTest, ARequestWithoutAServerFails)
{
    bool accepted = true;
    std::string part1 = "old1";
    std::string part2 = "old2";
    detect.SetServer("not an address", server.Port());
    EXPECT_FALSE(detect.TestMessage(&accepted, &part1, &part2));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(part1, "old1");
    EXPECT_EQ(part2, "old2");
    EXPECT_TRUE(server.Requests().empty());
}

} // namespace
