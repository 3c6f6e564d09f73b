// The text of the system-test dialog's log. Every click of a transfer test
// adds lines; past MAX_CHARS the oldest lines go, so that a dialog left open
// for many clicks holds, and redraws, no more than a screenful or two of
// history.
#pragma once

#include <cstddef>
#include <string>

class CTransferLog {
public:
    static constexpr size_t MAX_CHARS = 30000;

    // Appends `text` (which may end within a line) and, when the log is then
    // longer than MAX_CHARS, drops whole lines from its start until it is
    // not; a last line longer than the bound keeps its end.
    void Append(const std::wstring& text);
    void Clear() { text.clear(); }
    const std::wstring& Text() const { return text; }

private:
    std::wstring text;
};
