#include "capture/ProgressDlg.h"

#include "capture/SEffect.h"
#include "foundation/JpegFile.h"
#include "res/resource.h"
#include "ui/Handles.h"

#include <commctrl.h>

#include <cwchar>
#include <cwctype>
#include <memory>

namespace {

constexpr UINT_PTR kBatchTimer = 1;
constexpr UINT kBatchTickMs = 50;
constexpr double kLowFraction = 0.1;
constexpr double kHighClipFraction = 0.01;
constexpr float kSharpenAmount = 1.5f;
constexpr float kSharpenRadius = 20.0f;
// Sources are read whole into memory; larger files are not taken.
constexpr LONGLONG kMaxSourceBytes = 0x7FFFFFFF;

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};
using StreamPtr = std::unique_ptr<IStream, StreamRelease>;

// A bitmap decoded from a copy of the file in memory, so that the file is not
// held open while the result is written, possibly over it. The bitmap may
// read from its stream as long as it lives, so it goes first.
struct LoadedBitmap {
    StreamPtr stream;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

StreamPtr ReadFileToStream(const std::wstring& path)
{
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const UniqueHandle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxSourceBytes) {
        return nullptr;
    }
    const DWORD length = static_cast<DWORD>(size.QuadPart);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) {
        return nullptr;
    }
    void* bytes = GlobalLock(block);
    DWORD read = 0;
    const bool complete = bytes != nullptr && ReadFile(file.Get(), bytes, length, &read, nullptr) && read == length;
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (!complete || CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
        return nullptr;
    }
    return StreamPtr(stream);
}

LoadedBitmap LoadBitmapInMemory(const std::wstring& path)
{
    LoadedBitmap loaded;
    loaded.stream = ReadFileToStream(path);
    if (loaded.stream) {
        loaded.bitmap.reset(new Gdiplus::Bitmap(loaded.stream.get(), FALSE));
    }
    return loaded;
}

// Creates an empty file of a new name in `folder` (which ends in a
// backslash) and gives its path; empty when none can be had. The name is
// short, "~" and four hexadecimal digits, so that it fits wherever a file
// name of five characters would.
std::wstring CreatePartialFile(const std::wstring& folder)
{
    constexpr size_t kNameLength = 5;
    constexpr unsigned kNameCount = 0x10000;
    if (folder.size() + kNameLength >= MAX_PATH) {
        return {};
    }
    const unsigned first = (GetTickCount() ^ GetCurrentProcessId()) % kNameCount;
    for (unsigned attempt = 0; attempt < kNameCount; ++attempt) {
        wchar_t name[kNameLength + 1];
        swprintf(name, kNameLength + 1, L"~%04x", (first + attempt) % kNameCount);
        std::wstring path = folder + name;
        HANDLE created =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            CloseHandle(created);
            return path;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

// Writes the JPEG under a new name in the target folder and puts it in place
// only once it is complete, so a failed write never costs the file already
// there (which may be the source itself).
bool SaveJpegReplacing(Gdiplus::Bitmap* bitmap, const std::wstring& folder, const std::wstring& target)
{
    const std::wstring partial = CreatePartialFile(folder);
    if (partial.empty()) {
        return false;
    }
    if (SaveImageAsJpeg(bitmap, partial.c_str()) &&
        MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    DeleteFileW(partial.c_str());
    return false;
}

std::wstring TrimSpace(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) {
        ++begin;
    }
    while (end > begin && std::iswspace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

void EndWithBackslash(std::wstring& folder)
{
    if (folder.empty() || folder.back() != L'\\') {
        folder += L'\\';
    }
}

} // namespace

CProgressDlg::CProgressDlg() : CDialogEx(IDD_PROGRESS_DIALOG) {}

LRESULT CProgressDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        OnTimer(wParam);
        return Default();
    }
    return CDialogEx::WindowProc(message, wParam, lParam);
}

BOOL CProgressDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    ScanSourceFolder();
    progress = GetDlgItem(IDC_PROGRESS);
    if (fileCount >= 1) {
        SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, fileCount - 1));
    }
    return TRUE;
}

BOOL CProgressDlg::PreTranslateMessage(MSG* msg)
{
    if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

bool CProgressDlg::ScanSourceFolder()
{
    sourceFolder = TrimSpace(sourceFolder);
    targetFolder = TrimSpace(targetFolder);
    files.clear();
    fileCount = 0;
    nextIndex = 0;

    // A missing folder text would stand for the root of the current drive, and
    // with both missing every image there would be rewritten in place: the
    // batch then has nothing to do.
    if (!sourceFolder.empty() && !targetFolder.empty()) {
        EndWithBackslash(sourceFolder);
        EndWithBackslash(targetFolder);
        ListSourceFiles();
    }
    SetTimer(hwnd, kBatchTimer, kBatchTickMs, nullptr);
    return true;
}

void CProgressDlg::ListSourceFiles()
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((sourceFolder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.emplace_back(entry.cFileName);
            ++fileCount;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

void CProgressDlg::OnTimer(UINT_PTR)
{
    if (nextIndex >= fileCount) {
        EndDialog(IDOK);
        return;
    }
    const std::wstring& name = files[static_cast<size_t>(nextIndex)];
    SetWindowText(L"[" + std::to_wstring(nextIndex + 1) + L"/" + std::to_wstring(fileCount) + L"]--" + name);
    SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(nextIndex + 1), 0);
    SetTimer(hwnd, kBatchTimer, kBatchTickMs, nullptr);
    SharpenFile(name);
    ++nextIndex;
}

bool CProgressDlg::SharpenFile(const std::wstring& name)
{
    const LoadedBitmap loaded = LoadBitmapInMemory(sourceFolder + name);
    if (!loaded.bitmap) {
        return false;
    }
    bool processed = false;
    {
        CSEffect effect;
        effect.Attach(loaded.bitmap.get());
        processed = effect.LockBits() && effect.AutoLevel(kLowFraction, kHighClipFraction) &&
                    effect.Sharpen(kSharpenAmount, kSharpenRadius);
        effect.UnlockBits();
        effect.Detach();
    }
    return processed && SaveJpegReplacing(loaded.bitmap.get(), targetFolder, targetFolder + name);
}
