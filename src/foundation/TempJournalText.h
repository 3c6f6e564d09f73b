// The text of the journal of temporary copies: one UTF-8 line per event, '+'
// and the path before a copy is made, '-' and the path once it is gone. A
// run killed in the middle of a line leaves the line without its end, and
// such a line names nothing: its copy was not made yet, or is gone already.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

constexpr wchar_t JOURNAL_RECORD = L'+';
constexpr wchar_t JOURNAL_STRIKE = L'-';
constexpr char JOURNAL_LINE_END = '\n';

// One whole line of the journal.
std::string JournalLine(wchar_t mark, std::wstring_view path);

// Reads a journal piece by piece, however large it grew, keeping no more
// than its live paths and one line.
class CJournalReader {
public:
    // The next bytes of the journal.
    void Feed(std::string_view bytes);
    // The paths recorded and not struck in what was fed, each once, in the
    // order in which they were first recorded. Lines of any other form are
    // passed over, and so is the last line while it has no end.
    std::vector<std::wstring> LivePaths() const;

private:
    void TakeLine(std::string_view line);

    // Each live path with the number of the line that first recorded it.
    std::map<std::wstring, size_t> live;
    size_t lineNumber = 0;
    std::string partial;
    // The line begun is longer than any path: it names nothing.
    bool overlong = false;
};

// The live paths of a whole journal's text.
std::vector<std::wstring> LiveJournalPaths(std::string_view text);

// Whether `name` is a name the program gives its copies: a GUID text and
// ".jpg" or ".txt". Nothing else is ever deleted on the journal's word.
bool IsTempCopyName(std::wstring_view name);
