#include "foundation/TempJournalText.h"

#include "foundation/Utf8.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

constexpr char JOURNAL_LINE_END = '\n';
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

std::vector<std::wstring> LiveJournalPaths(std::string_view text)
{
    // Each live path with the number of the line that first recorded it.
    std::map<std::wstring, size_t> live;
    size_t lineNumber = 0;
    size_t start = 0;
    for (size_t end = text.find(JOURNAL_LINE_END); end != std::string_view::npos;
         start = end + 1, end = text.find(JOURNAL_LINE_END, start), ++lineNumber) {
        const std::wstring line = Utf8ToWide(text.substr(start, end - start));
        if (line.size() < 2) {
            continue;
        }
        if (line[0] == JOURNAL_RECORD) {
            live.emplace(line.substr(1), lineNumber);
        } else if (line[0] == JOURNAL_STRIKE) {
            live.erase(line.substr(1));
        }
    }
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

bool IsTempCopyPath(std::wstring_view folder, std::wstring_view path)
{
    if (folder.empty() || path.size() <= folder.size() || path.substr(0, folder.size()) != folder) {
        return false;
    }
    const std::wstring_view name = path.substr(folder.size());
    for (const std::wstring_view extension : COPY_EXTENSIONS) {
        if (name.size() == GUID_TEXT_LENGTH + extension.size() && name.substr(GUID_TEXT_LENGTH) == extension &&
            IsGuidText(name.substr(0, GUID_TEXT_LENGTH))) {
            return true;
        }
    }
    return false;
}
