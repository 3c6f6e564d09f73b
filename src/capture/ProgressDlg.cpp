#include "capture/ProgressDlg.h"

#include "res/resource.h"

#include <commctrl.h>

#include <cwctype>

namespace {

constexpr UINT_PTR kBatchTimer = 1;
constexpr UINT kBatchTickMs = 50;

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

std::wstring AsFolder(const std::wstring& text)
{
    std::wstring folder = TrimSpace(text);
    if (folder.empty() || folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder;
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
    sourceFolder = AsFolder(sourceFolder);
    targetFolder = AsFolder(targetFolder);
    files.clear();
    fileCount = 0;
    nextIndex = 0;

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((sourceFolder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                files.emplace_back(entry.cFileName);
                ++fileCount;
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    SetTimer(hwnd, kBatchTimer, kBatchTickMs, nullptr);
    return true;
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

bool CProgressDlg::SharpenFile(const std::wstring&)
{
    return false;
}
