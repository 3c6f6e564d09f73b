// The system-test dialog against the fake analysis server on a loopback port
// of its own: the log read back from the dialog line by line after clicks
// made the way a click is made.
#include "settings/TfdaDlg.h"

#include "DialogRun.h"
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"
#include "settings/TestTextGenerator.h"
#include "settings/TransferLog.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

using capturetest::TimerScript;
using dialogtest::Click;
using dialogtest::ControlText;
using dialogtest::RunDialog;

using Lines = std::vector<std::wstring>;

const std::wstring PASSED = L" 傳輸正常";
const std::wstring FAILED = L" 傳輸失敗";

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// The log's lines; the line end after the last line makes no line of its own.
Lines SplitLines(const std::wstring& text)
{
    Lines lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::wstring LogOf(const CDialogEx& dialog)
{
    return ControlText(dialog.GetDlgItem(IDC_TFDA_LOG));
}

// The value of a transfer test's single field, "#@DATAREFLECT@#;LEN;text".
std::string SentText(const std::string& request)
{
    const size_t first = request.find(';');
    const size_t second = first == std::string::npos ? first : request.find(';', first + 1);
    return second == std::string::npos ? std::string() : request.substr(second + 1);
}

FakeScenario Reply(const FieldList& fields)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame(fields);
    return scenario;
}

// Echoes the sent text, changed by `change`, with this return code.
FakeScenario Echo(const char* retcode, std::string (*change)(std::string))
{
    FakeScenario scenario;
    scenario.replyFor = [retcode, change](const std::string& request) {
        return ReportFrame({{KEY_RETCODE, retcode}, {KEY_EXTINFO, change(SentText(request))}});
    };
    return scenario;
}

std::string Unchanged(std::string text)
{
    return text;
}

FakeScenario NoReply()
{
    FakeScenario scenario;
    scenario.closeAtOnce = true;
    return scenario;
}

// A loopback port on which nothing listens: a connection is refused at once.
unsigned short RefusingPort()
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

bool IsTestText(const std::string& text)
{
    return text.size() == TEST_TEXT_LENGTH &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// The text of a client test's line ‹Client to Server: "text"›, or "<no text>".
std::string LoggedText(const std::wstring& line)
{
    const std::wstring prefix = L"Client to Server: \"";
    if (line.size() < prefix.size() + 1 || line.compare(0, prefix.size(), prefix) != 0 || line.back() != L'"') {
        return "<no text>";
    }
    std::string text;
    for (size_t i = prefix.size(); i + 1 < line.size(); ++i) {
        text += line[i] < 0x80 ? static_cast<char>(line[i]) : '?';
    }
    return text;
}

class TfdaDlgTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start(0)); }

    void PointAt(CTfdaDlg& dialog, unsigned short port)
    {
        dialog.serverHost = "127.0.0.1";
        dialog.serverPort = port;
    }

    // The texts of the client test as the server received them.
    std::vector<std::string> ReceivedTexts() const
    {
        std::vector<std::string> texts;
        for (const FakeRequest& request : server.Requests()) {
            texts.push_back(SentText(request.bytes));
        }
        return texts;
    }

    FakeAnalysisServer server;
};

TEST_F(TfdaDlgTest, ClientToServerLogsEachSentTextAndWhetherItCameBackUnchanged)
{
    struct Case {
        const char* what;
        std::vector<FakeScenario> exchanges;
        std::vector<std::wstring> verdicts;
    };
    const Case cases[] = {
        {"a faithful echo", {Echo("1", Unchanged)}, {PASSED, PASSED, PASSED}},
        {"each exchange judged alone",
         {Echo("1", Unchanged),
          Echo("1", [](std::string text) { return text.substr(0, 44) + (text.substr(44) == "x" ? "y" : "x"); }),
          Echo("0", Unchanged)},
         {PASSED, FAILED, FAILED}},
        {"an echo one longer, one shorter, then none",
         {Echo("1", [](std::string text) { return text + "x"; }),
          Echo("1", [](std::string text) { return text.substr(0, 44); }), NoReply()},
         {FAILED, FAILED, FAILED}},
        {"a reply without the echo", {Reply({{KEY_RETCODE, "1"}})}, {FAILED, FAILED, FAILED}},
    };
    for (const Case& c : cases) {
        FakeAnalysisServer caseServer;
        ASSERT_TRUE(caseServer.Start(0));
        for (const FakeScenario& scenario : c.exchanges) {
            caseServer.AddScenario(scenario);
        }
        std::wstring log;
        CTfdaDlg dialog;
        PointAt(dialog, caseServer.Port());
        const auto run = RunDialog(dialog, {Click(dialog, IDC_BTN_CLIENT_TO_SERVER),
                                            [&] {
                                                log = LogOf(dialog);
                                                return true;
                                            },
                                            Click(dialog, IDCANCEL)});
        EXPECT_TRUE(run.scriptFinished) << c.what;

        // The texts as logged; each one the server read is the one it was sent.
        const Lines lines = SplitLines(log);
        ASSERT_EQ(lines.size(), 6u) << c.what;
        const std::vector<FakeRequest> requests = caseServer.Requests();
        ASSERT_EQ(requests.size(), 3u) << c.what;
        Lines expected;
        std::set<std::wstring> distinct;
        for (size_t i = 0; i < requests.size(); ++i) {
            const std::string text = LoggedText(lines[2 * i]);
            EXPECT_TRUE(IsTestText(text)) << c.what << ": " << text;
            if (!requests[i].bytes.empty()) {
                EXPECT_EQ(requests[i].bytes, Field(KEY_DATAREFLECT, text)) << c.what;
            }
            distinct.insert(Wide(text));
            expected.push_back(L"Client to Server: \"" + Wide(text) + L"\"");
            expected.push_back(c.verdicts[i]);
        }
        EXPECT_EQ(distinct.size(), 3u) << c.what;
        EXPECT_EQ(lines, expected) << c.what;
        EXPECT_EQ(log.substr(log.size() - 2), L"\r\n") << c.what;
    }
}

TEST_F(TfdaDlgTest, ServerToClientLogsTheFirstHalfAndWhetherBothHalvesAgree)
{
    struct Case {
        const char* what;
        FakeScenario reply;
        std::wstring logged;
        std::wstring verdict;
    };
    const Case cases[] = {
        {"equal halves", Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, "Q7x:Q7x"}}), L"Q7x", PASSED},
        {"halves that differ", Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, "Q7x:Q7y"}}), L"Q7x", FAILED},
        {"a second colon belongs to the second half", Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, "ab:ab:c"}}), L"ab",
         FAILED},
        {"two empty halves", Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, ":"}}), L"", PASSED},
        {"no colon", Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, "Q7xQ7x"}}), L"", FAILED},
        {"not accepted", Reply({{KEY_RETCODE, "0"}, {KEY_EXTINFO, "Q7x:Q7x"}}), L"", FAILED},
        {"not accepted after the text", Reply({{KEY_EXTINFO, "Q7x:Q7x"}, {KEY_RETCODE, "0"}}), L"", FAILED},
        {"no reply", NoReply(), L"", FAILED},
    };
    for (const Case& c : cases) {
        server.SetScenario(c.reply);
        std::wstring log;
        CTfdaDlg dialog;
        PointAt(dialog, server.Port());
        RunDialog(dialog, {Click(dialog, IDC_BTN_SERVER_TO_CLIENT),
                           [&] {
                               log = LogOf(dialog);
                               return true;
                           },
                           Click(dialog, IDCANCEL)});
        const std::wstring exchange = L"Server to Client: \"" + c.logged + L"\"";
        EXPECT_EQ(SplitLines(log), (Lines{exchange, c.verdict, exchange, c.verdict, exchange, c.verdict})) << c.what;
    }
    EXPECT_EQ(server.Requests().size(), 3 * std::size(cases));
    for (const FakeRequest& request : server.Requests()) {
        if (!request.bytes.empty()) {
            EXPECT_EQ(request.bytes, "#@TESTMSG@#;0;");
        }
    }
}

TEST_F(TfdaDlgTest, AnUnreachableServerFailsEveryExchangeOfBothTests)
{
    std::wstring log;
    CTfdaDlg dialog;
    PointAt(dialog, RefusingPort());
    RunDialog(dialog, {Click(dialog, IDC_BTN_CLIENT_TO_SERVER), Click(dialog, IDC_BTN_SERVER_TO_CLIENT),
                       [&] {
                           log = LogOf(dialog);
                           return true;
                       },
                       Click(dialog, IDCANCEL)});
    const Lines lines = SplitLines(log);
    ASSERT_EQ(lines.size(), 12u) << testing::PrintToString(lines);
    std::set<std::string> texts;
    for (size_t i = 0; i < 6; i += 2) {
        EXPECT_TRUE(IsTestText(LoggedText(lines[i]))) << LoggedText(lines[i]);
        texts.insert(LoggedText(lines[i]));
        EXPECT_EQ(lines[i + 1], FAILED);
    }
    EXPECT_EQ(texts.size(), 3u);
    for (size_t i = 6; i < 12; i += 2) {
        EXPECT_EQ(lines[i], L"Server to Client: \"\"");
        EXPECT_EQ(lines[i + 1], FAILED);
    }
}

TEST_F(TfdaDlgTest, ClearingStartsANewLogAndEachOpeningStartsEmpty)
{
    server.SetScenario(Echo("1", Unchanged));
    std::wstring afterTwoTests;
    std::wstring afterClearing;
    std::wstring afterOneMore;
    {
        CTfdaDlg dialog;
        PointAt(dialog, server.Port());
        RunDialog(dialog, {Click(dialog, IDC_BTN_CLIENT_TO_SERVER), Click(dialog, IDC_BTN_SERVER_TO_CLIENT),
                           [&] {
                               afterTwoTests = LogOf(dialog);
                               return true;
                           },
                           Click(dialog, IDC_BTN_CLEAR_LOG),
                           [&] {
                               afterClearing = LogOf(dialog);
                               return true;
                           },
                           Click(dialog, IDC_BTN_CLIENT_TO_SERVER),
                           [&] {
                               afterOneMore = LogOf(dialog);
                               return true;
                           },
                           Click(dialog, IDCANCEL)});
    }
    // The echo of "#@TESTMSG@#;0;" is an empty text: no colon, so a failure.
    EXPECT_EQ(SplitLines(afterTwoTests).size(), 12u);
    EXPECT_EQ(afterClearing, L"");
    const std::vector<std::string> sent = ReceivedTexts();
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(SplitLines(afterOneMore), (Lines{L"Client to Server: \"" + Wide(sent[6]) + L"\"", PASSED,
                                               L"Client to Server: \"" + Wide(sent[7]) + L"\"", PASSED,
                                               L"Client to Server: \"" + Wide(sent[8]) + L"\"", PASSED}));

    std::wstring opened = L"<not read>";
    CTfdaDlg reopened;
    PointAt(reopened, server.Port());
    RunDialog(reopened, {[&] {
                             opened = LogOf(reopened);
                             return true;
                         },
                         Click(reopened, IDCANCEL)});
    EXPECT_EQ(opened, L"");
}

TEST_F(TfdaDlgTest, AfterManyClicksTheLogKeepsItsNewestLinesWithinItsBoundAndGoesOnWorking)
{
    // Each exchange of this server adds about 4 000 characters.
    const std::string half(4000, 'h');
    server.SetScenario(Reply({{KEY_RETCODE, "1"}, {KEY_EXTINFO, half + ":" + half}}));
    std::vector<size_t> sizes;
    std::wstring bounded;
    std::wstring afterClearing;
    CTfdaDlg dialog;
    PointAt(dialog, server.Port());
    std::vector<TimerScript::Step> steps;
    for (int click = 0; click < 12; ++click) {
        steps.push_back(Click(dialog, IDC_BTN_SERVER_TO_CLIENT));
        steps.push_back([&] {
            sizes.push_back(LogOf(dialog).size());
            return true;
        });
    }
    steps.push_back([&] {
        bounded = LogOf(dialog);
        return true;
    });
    steps.push_back(Click(dialog, IDC_BTN_CLEAR_LOG));
    steps.push_back(Click(dialog, IDC_BTN_SERVER_TO_CLIENT));
    steps.push_back([&] {
        afterClearing = LogOf(dialog);
        return true;
    });
    steps.push_back(Click(dialog, IDCANCEL));
    const auto run = RunDialog(dialog, steps);
    ASSERT_TRUE(run.scriptFinished);

    for (size_t size : sizes) {
        EXPECT_LE(size, CTransferLog::MAX_CHARS);
    }
    EXPECT_GT(sizes.back(), CTransferLog::MAX_CHARS - 10000);
    const std::wstring exchange = L"Server to Client: \"" + Wide(half) + L"\"";
    const Lines lines = SplitLines(bounded);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], exchange);
    EXPECT_EQ(lines.back(), PASSED);
    // Only whole lines were dropped.
    for (const std::wstring& line : lines) {
        EXPECT_TRUE(line == exchange || line == PASSED) << line.substr(0, 40);
    }
    EXPECT_EQ(SplitLines(afterClearing), (Lines{exchange, PASSED, exchange, PASSED, exchange, PASSED}));
}

} // namespace
