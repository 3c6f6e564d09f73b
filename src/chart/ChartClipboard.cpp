#include "chart/ChartClipboard.h"

#include "ui/ClipboardHandles.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// True when the open clipboard holds `text` as Unicode text.
bool ClipboardTextIs(const std::wstring& text)
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    GlobalLockScope locked(data);
    if (!locked) {
        return false;
    }
    const auto* chars = static_cast<const wchar_t*>(locked.Data());
    const size_t units = GlobalSize(data) / sizeof(wchar_t);
    return units > text.size() && std::equal(text.begin(), text.end(), chars) && chars[text.size()] == L'\0';
}

UniqueGlobal TextBlock(const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
    GlobalLockScope locked(block.Get());
    if (!locked) {
        return UniqueGlobal();
    }
    std::memcpy(locked.Data(), text.c_str(), bytes);
    return block;
}

} // namespace

void CChartClipboard::Attach(HWND chart, UINT_PTR timer)
{
    window = chart;
    timerId = timer;
}

void CChartClipboard::Detach()
{
    if (window != nullptr && Pending()) {
        KillTimer(window, timerId);
    }
    pending = Step::None;
    pendingText.clear();
    window = nullptr;
}

bool CChartClipboard::PutText(const std::wstring& text)
{
    // Made before the clipboard is opened and emptied, so that no failure
    // can leave the user's clipboard empty.
    if (!TextBlock(text)) {
        return false;
    }
    pending = Step::PutText;
    pendingText = text;
    Wait();
    return true;
}

void CChartClipboard::Forget()
{
    pending = Step::Forget;
    pendingText.clear();
    Wait();
}

void CChartClipboard::Settled()
{
    if (Pending()) {
        KillTimer(window, timerId);
    }
    pending = Step::None;
    pendingText.clear();
}

void CChartClipboard::Wait()
{
    sequenceAtRequest = GetClipboardSequenceNumber();
    // Opening the clipboard and emptying it makes a window its owner: the
    // program that holds it open then is writing content of its own.
    const HWND holder = GetOpenClipboardWindow();
    holderWrites = holder != nullptr && holder == GetClipboardOwner();
    if (TryPending(ClipboardSession::OPEN_WAIT_MS)) {
        KillTimer(window, timerId);
    } else {
        SetTimer(window, timerId, RETRY_MS, nullptr);
    }
}

void CChartClipboard::OnRetryTimer()
{
    // One quick try each time: the window keeps answering meanwhile.
    if (!Pending() || TryPending(0)) {
        KillTimer(window, timerId);
    }
}

bool CChartClipboard::TryPending(DWORD openWaitMs)
{
    if (window == nullptr) {
        pending = Step::None;
        return true;
    }
    ClipboardSession clipboard(window, openWaitMs);
    if (!clipboard) {
        return false;
    }
    const bool ownContent = HoldsOwnContent();
    const Step step = std::exchange(pending, Step::None);
    const std::wstring text = std::move(pendingText);
    pendingText.clear();
    if (step == Step::Forget) {
        if (ownContent) {
            EmptyClipboard();
        }
        return true;
    }
    // What another program put there since the text was asked for, or while
    // it was asked for, is the user's newer choice.
    const bool othersSince = holderWrites || GetClipboardSequenceNumber() != sequenceAtRequest;
    if (step != Step::PutText || (!ownContent && othersSince)) {
        return true;
    }
    UniqueGlobal block = TextBlock(text);
    if (block && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block.Get()) != nullptr) {
        // The clipboard owns the block now.
        block.Release();
        copiedText = text;
    }
    return true;
}

bool CChartClipboard::HoldsOwnContent() const
{
    // The chart's own text pasted back by another program names the same
    // patient as the text the chart put there.
    return GetClipboardOwner() == window || (!copiedText.empty() && ClipboardTextIs(copiedText));
}
