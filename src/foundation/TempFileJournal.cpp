#include "foundation/TempFileJournal.h"

#include "foundation/TempFilePath.h"
#include "foundation/TempJournalText.h"

#include <algorithm>

CTempFileJournal g_tempFileJournal;

namespace {

// The bytes locked: far past any text a journal holds, so that the locks
// never stand in the way of reading or writing it.
constexpr DWORD HOLD_BYTE = 0x40000000;
constexpr DWORD GATE_BYTE = HOLD_BYTE + 1;
// How long a process waits for another to pass the gate (a start sweeping).
constexpr DWORD GATE_WAIT_MS = 5000;
constexpr DWORD GATE_RETRY_PAUSE_MS = 10;
constexpr DWORD READ_CHUNK_BYTES = 64 * 1024;
// The appended lines the journal may hold beyond twice its live paths before
// it is written whole again: a service that runs all day keeps it small.
constexpr size_t COMPACT_SLACK_LINES = 64;
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr wchar_t FAILURE_NOTE[] = L"Quillmere: the journal of temporary copies cannot be read or written: ";

// The handle of an opened file; empty when the open failed.
UniqueHandle Opened(HANDLE file)
{
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

OVERLAPPED At(ULONGLONG offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

bool LockByte(HANDLE file, DWORD offset, bool exclusive)
{
    OVERLAPPED at = At(offset);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(file, flags, 0, 1, 0, &at) != FALSE;
}

void UnlockByte(HANDLE file, DWORD offset)
{
    OVERLAPPED at = At(offset);
    UnlockFileEx(file, 0, 1, 0, &at);
}

// The gate taken for as long as the object lives; false when another
// process kept it past the wait.
class JournalGate {
public:
    explicit JournalGate(HANDLE file) : file(file)
    {
        const ULONGLONG deadline = GetTickCount64() + GATE_WAIT_MS;
        passed = LockByte(file, GATE_BYTE, true);
        while (!passed && GetTickCount64() < deadline) {
            Sleep(GATE_RETRY_PAUSE_MS);
            passed = LockByte(file, GATE_BYTE, true);
        }
    }
    JournalGate(const JournalGate&) = delete;
    JournalGate& operator=(const JournalGate&) = delete;
    ~JournalGate()
    {
        if (passed) {
            UnlockByte(file, GATE_BYTE);
        }
    }
    explicit operator bool() const { return passed; }

private:
    HANDLE file;
    bool passed = false;
};

bool WriteWhole(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The live paths of the journal open as `file`, read piece by piece however
// large it grew. False when it cannot be read.
bool ReadLivePaths(HANDLE file, std::vector<std::wstring>* paths)
{
    CJournalReader reader;
    std::string chunk(READ_CHUNK_BYTES, '\0');
    for (ULONGLONG offset = 0;;) {
        OVERLAPPED at = At(offset);
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), READ_CHUNK_BYTES, &read, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF) {
                return false;
            }
            read = 0;
        }
        if (read == 0) {
            break;
        }
        reader.Feed(std::string_view(chunk.data(), read));
        offset += read;
    }
    *paths = reader.LivePaths();
    return true;
}

bool IsGone(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

// Whether `path` lies directly in `folder` under a copy's name. Windows
// compares paths without regard to case: TEMP may be spelled otherwise by
// the run that named the copy.
bool IsTempCopy(const std::wstring& folder, const std::wstring& path)
{
    const int length = static_cast<int>(folder.size());
    return !folder.empty() && path.size() > folder.size() &&
           CompareStringOrdinal(path.c_str(), length, folder.c_str(), length, TRUE) == CSTR_EQUAL &&
           IsTempCopyName(std::wstring_view(path).substr(folder.size()));
}

// Whether `file` is still the file that `path` names: one who let the
// journal go may have deleted it while we waited at the gate.
bool StillNamed(HANDLE file, const std::wstring& path)
{
    const UniqueHandle named = Opened(CreateFileW(path.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION heldInfo{};
    BY_HANDLE_FILE_INFORMATION namedInfo{};
    return named && GetFileInformationByHandle(file, &heldInfo) &&
           GetFileInformationByHandle(named.Get(), &namedInfo) &&
           heldInfo.dwVolumeSerialNumber == namedInfo.dwVolumeSerialNumber &&
           heldInfo.nFileIndexHigh == namedInfo.nFileIndexHigh && heldInfo.nFileIndexLow == namedInfo.nFileIndexLow;
}

UniqueHandle OpenJournal(const std::wstring& path, DWORD disposition)
{
    return Opened(CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, SHARE_ALL, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

bool CTempFileJournal::Open(const wchar_t* name)
{
    const std::lock_guard<std::mutex> lock(mutex);
    held.Reset();
    live.clear();
    appendedLines = 0;
    wchar_t temp[TEMP_PATH_CAPACITY] = {};
    const DWORD length = GetTempPathW(TEMP_PATH_CAPACITY, temp);
    if (length == 0 || length >= TEMP_PATH_CAPACITY || name == nullptr) {
        path.clear();
        return Reported(false);
    }
    folder.assign(temp, length);
    path = folder + name;
    return true;
}

bool CTempFileJournal::Sweep()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (path.empty()) {
        return Reported(false);
    }
    const UniqueHandle journal = OpenJournal(path, OPEN_EXISTING);
    if (!journal) {
        return Reported(GetLastError() == ERROR_FILE_NOT_FOUND);
    }
    const JournalGate gate(journal.Get());
    if (!gate) {
        return Reported(false);
    }
    // A running process of this mode still uses the copies it named.
    if (!LockByte(journal.Get(), HOLD_BYTE, true)) {
        return true;
    }
    std::vector<std::wstring> named;
    if (!ReadLivePaths(journal.Get(), &named)) {
        return Reported(false);
    }
    std::vector<std::wstring> kept;
    for (const std::wstring& copy : named) {
        if (IsTempCopy(folder, copy) && !DeleteFileW(copy.c_str()) && !IsGone(copy)) {
            kept.push_back(copy);
        }
    }
    // The lock goes with the handle.
    return Reported(Replace(kept));
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
    return Reported((held || Join()) && Append(JournalLine(JOURNAL_RECORD, copy)));
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
    if (!(held || Join()) || !Append(JournalLine(JOURNAL_STRIKE, copy))) {
        return Reported(false);
    }
    if (live.empty() || appendedLines > 2 * live.size() + COMPACT_SLACK_LINES) {
        return Reported(Compact());
    }
    return true;
}

bool CTempFileJournal::Join()
{
    UniqueHandle journal = OpenJournal(path, OPEN_ALWAYS);
    if (!journal) {
        return false;
    }
    {
        const JournalGate gate(journal.Get());
        if (!gate || !StillNamed(journal.Get(), path) || !LockByte(journal.Get(), HOLD_BYTE, false)) {
            return false;
        }
    }
    held = std::move(journal);
    appendedLines = 0;
    return true;
}

bool CTempFileJournal::Append(const std::string& line)
{
    // A run killed in the middle of a line left it without its end; the
    // record must not be glued to it.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(held.Get(), &size)) {
        return false;
    }
    std::string bytes = line;
    if (size.QuadPart > 0) {
        char last = JOURNAL_LINE_END;
        OVERLAPPED at = At(static_cast<ULONGLONG>(size.QuadPart - 1));
        DWORD read = 0;
        if (!ReadFile(held.Get(), &last, 1, &read, &at) || read != 1) {
            return false;
        }
        if (last != JOURNAL_LINE_END) {
            bytes.insert(bytes.begin(), JOURNAL_LINE_END);
        }
    }
    // The handle only appends: each line lands whole at the end, whoever else
    // appends meanwhile.
    if (!WriteWhole(held.Get(), bytes)) {
        return false;
    }
    ++appendedLines;
    return true;
}

bool CTempFileJournal::Compact()
{
    bool compacted = true;
    bool letGo = false;
    {
        const JournalGate gate(held.Get());
        // Another process is taking or letting go of it: a later strike tries again.
        if (!gate) {
            return true;
        }
        UnlockByte(held.Get(), HOLD_BYTE);
        if (LockByte(held.Get(), HOLD_BYTE, true)) {
            std::vector<std::wstring> named;
            // Read back whole: the names of runs whose journal could not be
            // read at their start stay for the next one.
            if (ReadLivePaths(held.Get(), &named)) {
                compacted = Replace(named);
                letGo = compacted && named.empty();
            }
            UnlockByte(held.Get(), HOLD_BYTE);
        }
        if (!letGo) {
            LockByte(held.Get(), HOLD_BYTE, false);
        }
    }
    if (letGo) {
        held.Reset();
    }
    return compacted;
}

bool CTempFileJournal::Replace(const std::vector<std::wstring>& paths)
{
    appendedLines = 0;
    if (paths.empty()) {
        // Gone at once for everyone else; the file itself goes with our handle.
        return DeleteFileW(path.c_str()) || IsGone(path);
    }
    std::string text;
    for (const std::wstring& copy : paths) {
        text += JournalLine(JOURNAL_RECORD, copy);
    }
    // In place, as the hold is on this very file. The text only shrinks, and
    // a run killed before the end is set leaves old whole lines behind, which
    // name copies that are gone or still named.
    const UniqueHandle writer = Opened(
        CreateFileW(path.c_str(), GENERIC_WRITE, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return writer && WriteWhole(writer.Get(), text) && SetEndOfFile(writer.Get());
}

bool CTempFileJournal::Reported(bool succeeded)
{
    if (!succeeded && !failureReported) {
        failureReported = true;
        OutputDebugStringW((FAILURE_NOTE + path).c_str());
    }
    return succeeded;
}
