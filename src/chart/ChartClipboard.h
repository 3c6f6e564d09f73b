// What the chart leaves on the clipboard: its findings text, or nothing of
// its own once that text names a patient gone. Another program holds the
// clipboard open for as long as it likes, so a step that finds it held does
// not wait for it: the step stays pending and a timer tries it again, until
// the clipboard is free or another program has put its own content there.
#pragma once

#include <windows.h>

#include <string>

class CChartClipboard {
public:
    // How often a pending step is tried again.
    static constexpr UINT RETRY_MS = 100;

    // The chart's window, which owns what the chart puts on the clipboard
    // and gets the retry timer `timerId`.
    void Attach(HWND window, UINT_PTR timerId);
    // Drops a pending step and its timer: the window goes.
    void Detach();

    // Puts `text` (not empty) on the clipboard as Unicode text, now or, with
    // the clipboard held, as soon as it is free. False, with the clipboard
    // as it was, when the text cannot be made into a block.
    bool PutText(const std::wstring& text);
    // Empties the clipboard while the chart owns it (its text, its file drop)
    // or it holds the chart's last text pasted back; what another program
    // put there stays. Done now or as soon as the clipboard is free.
    void Forget();
    // The clipboard now holds what the chart put there itself by other
    // means (the image file): a pending step is older and is dropped.
    void Settled();
    // The retry timer fired.
    void OnRetryTimer();

    // The last text the chart put on the clipboard.
    const std::wstring& CopiedText() const { return copiedText; }
    // Whether a step waits for the clipboard.
    bool Pending() const { return pending != Step::None; }

private:
    enum class Step { None, PutText, Forget };

    // One try of the pending step; true when it is done (or was dropped).
    bool TryPending(DWORD openWaitMs);
    // With the clipboard open: whether what it holds is the chart's own.
    bool HoldsOwnContent() const;
    void Wait();

    HWND window = nullptr;
    UINT_PTR timerId = 0;
    Step pending = Step::None;
    std::wstring pendingText;
    // The clipboard's sequence number when the pending step was asked for:
    // a change since is another program's, and its content wins.
    DWORD sequenceAtRequest = 0;
    // Whether the program that held the clipboard then was writing to it.
    bool holderWrites = false;
    std::wstring copiedText;
};
