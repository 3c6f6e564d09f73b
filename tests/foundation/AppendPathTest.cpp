#include "foundation/AppendPath.h"

#include <gtest/gtest.h>

namespace {

struct AppendCase {
    const wchar_t* base;
    const wchar_t* part;
    const wchar_t* expected;
};

TEST(AppendPath, JoinsWithExactlyOneBackslashJudgedOnOneCharacterEachSide)
{
    const AppendCase cases[] = {
        {L"C:\\data", L"Setting.ini", L"C:\\data\\Setting.ini"},
        {L"C:\\data\\", L"Setting.ini", L"C:\\data\\Setting.ini"},
        {L"C:\\data\\", L"\\x", L"C:\\data\\x"},
        {L"C:\\data", L"\\x", L"C:\\data\\x"},
        {L"", L"x", L"\\x"},
        {L"C:\\data", L"", L"C:\\data\\"},
        {L"C:\\data\\", L"", L"C:\\data\\"},
        // Runs of backslashes are not collapsed.
        {L"C:\\data\\\\", L"\\\\x", L"C:\\data\\\\\\x"},
    };
    for (const auto& c : cases) {
        std::wstring base = c.base;
        AppendPath(c.part, base);
        EXPECT_EQ(base, c.expected) << "base '" << std::string(c.base, c.base + wcslen(c.base)) << "'";
    }
}

} // namespace
