// The system-test log keeps its newest lines within its bound.
#include "settings/TransferLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr size_t BOUND = CTransferLog::MAX_CHARS;

std::wstring Line(wchar_t fill, size_t length)
{
    return std::wstring(length - 2, fill) + L"\r\n";
}

struct LogCase {
    const char* what;
    std::vector<std::wstring> appends;
    std::wstring expected;
};

TEST(TransferLog, PastItsBoundTheLogDropsItsOldestWholeLines)
{
    const std::wstring a = Line(L'a', BOUND / 2);
    const std::wstring b = Line(L'b', BOUND / 2);
    const std::wstring c = Line(L'c', 10);
    const LogCase cases[] = {
        {"within the bound, whole", {L"one\r\n", L"two"}, L"one\r\ntwo"},
        {"exactly the bound", {a, b}, a + b},
        {"one character over drops the first line", {a, b, L"x"}, b + L"x"},
        {"an unfinished line is kept and finished",
         {a, b, L"Server to Client: ", L"\"\"\r\n"},
         b + L"Server to Client: \"\"\r\n"},
        {"several lines go at once", {c, c, c, a, b + L"x"}, b + L"x"},
        {"a last line longer than the bound keeps its end",
         {c, std::wstring(BOUND + 5, L'z')},
         std::wstring(BOUND, L'z')},
        {"a long line ended by its line end keeps its end", {c, Line(L'z', BOUND + 5)}, Line(L'z', BOUND)},
    };
    for (const LogCase& logCase : cases) {
        CTransferLog log;
        for (const std::wstring& text : logCase.appends) {
            log.Append(text);
        }
        EXPECT_EQ(log.Text(), logCase.expected) << logCase.what;
    }
}

TEST(TransferLog, ManyExchangesStayBoundedAndEndWithTheNewest)
{
    CTransferLog log;
    for (int i = 0; i < 20000; ++i) {
        log.Append(L"Client to Server: \"" + std::to_wstring(i) + L"\"\r\n");
        log.Append(L" ok\r\n");
        ASSERT_LE(log.Text().size(), BOUND);
    }
    const std::wstring& text = log.Text();
    const std::wstring newest = L"Client to Server: \"19999\"\r\n ok\r\n";
    ASSERT_GE(text.size(), newest.size());
    EXPECT_EQ(text.substr(text.size() - newest.size()), newest);
    EXPECT_GT(text.size(), BOUND - 40);
    // Cut at a line's start.
    EXPECT_TRUE(text.rfind(L"Client", 0) == 0 || text.rfind(L" ok", 0) == 0) << text.substr(0, 40);

    log.Clear();
    EXPECT_EQ(log.Text(), L"");
}

} // namespace
