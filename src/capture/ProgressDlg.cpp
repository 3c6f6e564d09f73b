#include "capture/ProgressDlg.h"

#include "capture/BatchFiles.h"
#include "capture/EffectKernels.h"
#include "capture/SEffect.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <future>
#include <thread>

namespace {

constexpr UINT_PTR kBatchTimer = 1;
constexpr UINT kBatchTickMs = 50;
constexpr double kLowFraction = 0.1;
constexpr double kHighClipFraction = 0.01;
constexpr float kSharpenAmount = 1.5f;
constexpr float kSharpenRadius = 20.0f;

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

// Decoding and encoding take most of a file's time, and a worker that waits
// for the effects of its file holds no core: one worker more than the cores
// keeps every core on the codec.
size_t BatchWorkers()
{
    constexpr size_t kMaxWorkers = 16;
    return std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()) + 1, kMaxWorkers);
}

// The effects lie on the batch's one serial road, the UI thread's: their
// strips go to every core, beside the codec of the files around them. On two
// cores a helper only takes turns with the codec, and the batch is slower.
unsigned EffectHelperThreads()
{
    constexpr unsigned kMaxHelpers = 15;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 2 ? std::min(cores - 1, kMaxHelpers) : 0;
}

// The files in flight; with the process itself (about 10 MB), the effects'
// working copy (14 MB for a panoramic image) and the threads' stacks and
// encoders, the batch stays under 200 MB of private memory for panoramic
// files: three or four of them being decoded at once, and the others held as
// their 24-bit copies while they wait for the effects or the encoder.
constexpr size_t kImageBudgetBytes = size_t{150} << 20;

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
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_DESTROY:
        OnDestroy();
        break;
    default:
        break;
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
    if (fileCount > 0) {
        pipeline.Start(sourceFolder, targetFolder, files, BatchWorkers(), kImageBudgetBytes);
        effects = std::make_unique<CEffectWorkspace>(EffectHelperThreads());
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
        pipeline.Finish();
        EndDialog(IDOK);
        return;
    }
    const std::wstring& name = files[static_cast<size_t>(nextIndex)];
    SetWindowText(L"[" + std::to_wstring(nextIndex + 1) + L"/" + std::to_wstring(fileCount) + L"]--" + name);
    SetTimer(hwnd, kBatchTimer, kBatchTickMs, nullptr);
    ProcessNextFile(name);
    ++nextIndex;
}

void CProgressDlg::ShowProgress()
{
    SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(nextIndex + 1), 0);
}

// Whatever is still in the encoder is finished and moved into place before
// the window goes, however the batch ended.
void CProgressDlg::OnDestroy()
{
    pipeline.Finish();
}

void CProgressDlg::ProcessNextFile(const std::wstring& name)
{
    PixelView pixels;
    if (!pipeline.TakeNext(pixels)) {
        ShowProgress();
        SharpenFile(name);
        return;
    }
    // The progress bar paints itself before the message returns, which under
    // Wine takes about a third of what a file's effects take: the effects run
    // beside it on a thread of their own (or after it, on this one, when the
    // system gives no thread). An empty view (a file that is no image) fails
    // the first effect.
    std::future<bool> processed = std::async([&] {
        return AutoLevelPixels(pixels, kLowFraction, kHighClipFraction, *effects) &&
               SharpenPixels(pixels, kSharpenAmount, kSharpenRadius, *effects);
    });
    ShowProgress();
    pipeline.GiveBack(processed.get());
}

bool CProgressDlg::SharpenFile(const std::wstring& name)
{
    const LoadedBitmap loaded = LoadBitmapInMemory(sourceFolder + name);
    if (!loaded.bitmap) {
        return false;
    }
    const CEffectBitmap worked(loaded.bitmap.get());
    bool processed = false;
    {
        CSEffect effect;
        processed = effect.Attach(worked.Get()) && effect.LockBits() &&
                    effect.AutoLevel(kLowFraction, kHighClipFraction) && effect.Sharpen(kSharpenAmount, kSharpenRadius);
        effect.UnlockBits();
        effect.Detach();
    }
    return processed && SaveJpegReplacing(worked.Get(), targetFolder, targetFolder + name);
}
