// The text of the journal of temporary copies: one UTF-8 line per event, '+'
// and the path before a copy is made, '-' and the path once it is gone. A
// run killed in the middle of a line leaves the line without its end, and
// such a line names nothing: its copy was not made yet, or is gone already.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr wchar_t JOURNAL_RECORD = L'+';
constexpr wchar_t JOURNAL_STRIKE = L'-';

// One whole line of the journal.
std::string JournalLine(wchar_t mark, std::wstring_view path);

// The paths recorded and not struck since, each once, in the order in which
// they were first recorded. Lines of any other form are passed over.
std::vector<std::wstring> LiveJournalPaths(std::string_view text);

// Whether `path` lies directly in `folder` (which ends with its separator)
// under a name the program gives its copies: a GUID text and ".jpg" or
// ".txt". Nothing else is ever deleted on the journal's word.
bool IsTempCopyPath(std::wstring_view folder, std::wstring_view path);
