#include "foundation/TempFileJournal.h"

#include "foundation/TempFilePath.h"
#include "foundation/TempJournalText.h"
#include "ui/Handles.h"

#include <algorithm>

CTempFileJournal g_tempFileJournal;

namespace {

// A journal larger than this is no journal of ours.
constexpr LONGLONG MAX_JOURNAL_BYTES = 16 * 1024 * 1024;
// The appended lines the journal may hold beyond twice its live paths before
// it is written whole again: a service that runs all day keeps it small.
constexpr size_t COMPACT_SLACK_LINES = 64;
constexpr wchar_t REWRITE_SUFFIX[] = L".new";
constexpr wchar_t FAILURE_NOTE[] = L"Quillmere: the journal of temporary copies cannot be read or written: ";

// The handle of an opened file; empty when the open failed.
UniqueHandle Opened(HANDLE file)
{
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool WriteWhole(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The journal's bytes; empty when it does not exist. False when it cannot be read.
bool ReadJournal(const std::wstring& path, std::string* text)
{
    const UniqueHandle file = Opened(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > MAX_JOURNAL_BYTES) {
        return false;
    }
    text->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return text->empty() || (ReadFile(file.Get(), text->data(), static_cast<DWORD>(text->size()), &read, nullptr) &&
                             read == text->size());
}

bool IsGone(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

} // namespace

bool CTempFileJournal::Open(const wchar_t* name)
{
    const std::lock_guard<std::mutex> lock(mutex);
    wchar_t temp[TEMP_PATH_CAPACITY] = {};
    const DWORD length = GetTempPathW(TEMP_PATH_CAPACITY, temp);
    if (length == 0 || length >= TEMP_PATH_CAPACITY || name == nullptr) {
        return Reported(false);
    }
    folder.assign(temp, length);
    path = folder + name;
    live.clear();
    appendedLines = 0;
    return true;
}

bool CTempFileJournal::Sweep()
{
    const std::lock_guard<std::mutex> lock(mutex);
    std::string text;
    if (path.empty() || !ReadJournal(path, &text)) {
        return Reported(false);
    }
    live.clear();
    for (const std::wstring& copy : LiveJournalPaths(text)) {
        if (IsTempCopyPath(folder, copy) && !DeleteFileW(copy.c_str()) && !IsGone(copy)) {
            live.push_back(copy);
        }
    }
    return Reported(Rewrite());
}

bool CTempFileJournal::Record(const std::wstring& copy)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (path.empty()) {
        return false;
    }
    if (std::find(live.begin(), live.end(), copy) == live.end()) {
        live.push_back(copy);
    }
    return Reported(Append(JournalLine(JOURNAL_RECORD, copy)));
}

bool CTempFileJournal::Strike(const std::wstring& copy)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (path.empty()) {
        return false;
    }
    const auto found = std::find(live.begin(), live.end(), copy);
    if (found == live.end()) {
        return true;
    }
    live.erase(found);
    if (live.empty() || appendedLines > 2 * live.size() + COMPACT_SLACK_LINES) {
        return Reported(Rewrite());
    }
    return Reported(Append(JournalLine(JOURNAL_STRIKE, copy)));
}

bool CTempFileJournal::Append(const std::string& line)
{
    const UniqueHandle file = Opened(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !WriteWhole(file.Get(), line)) {
        return false;
    }
    ++appendedLines;
    return true;
}

bool CTempFileJournal::Rewrite()
{
    appendedLines = 0;
    // Written beside it and moved over it, so that a run killed meanwhile
    // leaves the old journal or the new one, never half of one.
    const std::wstring fresh = path + REWRITE_SUFFIX;
    if (live.empty()) {
        DeleteFileW(fresh.c_str());
        return DeleteFileW(path.c_str()) || IsGone(path);
    }
    std::string text;
    for (const std::wstring& copy : live) {
        text += JournalLine(JOURNAL_RECORD, copy);
    }
    {
        const UniqueHandle file = Opened(
            CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !WriteWhole(file.Get(), text)) {
            DeleteFileW(fresh.c_str());
            return false;
        }
    }
    if (!MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

bool CTempFileJournal::Reported(bool succeeded)
{
    if (!succeeded && !failureReported) {
        failureReported = true;
        OutputDebugStringW((FAILURE_NOTE + path).c_str());
    }
    return succeeded;
}
