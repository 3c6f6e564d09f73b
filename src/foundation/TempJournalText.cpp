#include "foundation/TempJournalText.h"

#include "foundation/Utf8.h"

#include <algorithm>
#include <utility>

namespace {

// Longer than any path a journal names (UTF-8 of the longest wide path).
constexpr size_t MAX_LINE_BYTES = 3 * 32768 + 2;
// Where the dashes of a GUID text stand, and its length.
constexpr size_t GUID_DASHES[] = {8, 13, 18, 23};
constexpr size_t GUID_TEXT_LENGTH = 36;
constexpr std::wstring_view COPY_EXTENSIONS[] = {L".jpg", L".txt"};

bool IsUpperHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

bool IsGuidText(std::wstring_view name)
{
    if (name.size() != GUID_TEXT_LENGTH) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        const bool dash = std::find(std::begin(GUID_DASHES), std::end(GUID_DASHES), i) != std::end(GUID_DASHES);
        if (dash ? name[i] != L'-' : !IsUpperHexDigit(name[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string JournalLine(wchar_t mark, std::wstring_view path)
{
    std::string line = WideToUtf8(std::wstring_view(&mark, 1));
    line += WideToUtf8(path);
    line += JOURNAL_LINE_END;
    return line;
}

void CJournalReader::Feed(std::string_view bytes)
{
    for (size_t end = bytes.find(JOURNAL_LINE_END); end != std::string_view::npos;
         bytes.remove_prefix(end + 1), end = bytes.find(JOURNAL_LINE_END)) {
        if (!overlong && partial.size() + end <= MAX_LINE_BYTES) {
            partial.append(bytes.substr(0, end));
            TakeLine(partial);
        }
        partial.clear();
        overlong = false;
        ++lineNumber;
    }
    overlong = overlong || partial.size() + bytes.size() > MAX_LINE_BYTES;
    if (overlong) {
        partial.clear();
    } else {
        partial.append(bytes);
    }
}

void CJournalReader::TakeLine(std::string_view bytes)
{
    const std::wstring line = Utf8ToWide(bytes);
    if (line.size() < 2) {
        return;
    }
    if (line[0] == JOURNAL_RECORD) {
        live.emplace(line.substr(1), lineNumber);
    } else if (line[0] == JOURNAL_STRIKE) {
        live.erase(line.substr(1));
    }
}

std::vector<std::wstring> CJournalReader::LivePaths() const
{
    std::vector<std::pair<size_t, std::wstring>> ordered;
    for (const auto& entry : live) {
        ordered.emplace_back(entry.second, entry.first);
    }
    std::sort(ordered.begin(), ordered.end());
    std::vector<std::wstring> paths;
    for (auto& entry : ordered) {
        paths.push_back(std::move(entry.second));
    }
    return paths;
}

std::vector<std::wstring> LiveJournalPaths(std::string_view text)
{
    CJournalReader reader;
    reader.Feed(text);
    return reader.LivePaths();
}

bool IsTempCopyName(std::wstring_view name)
{
    for (const std::wstring_view extension : COPY_EXTENSIONS) {
        if (name.size() == GUID_TEXT_LENGTH + extension.size() && name.substr(GUID_TEXT_LENGTH) == extension &&
            IsGuidText(name.substr(0, GUID_TEXT_LENGTH))) {
            return true;
        }
    }
    return false;
}
