// The clipboard held open, and movable global memory: the block owned and
// the block locked.
//
//     UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
//     {
//         GlobalLockScope locked(block.Get());
//         if (!locked) return false;
//         ... fill locked.Data() ...
//     }
//     ClipboardSession clipboard(owner);
//     if (!clipboard || !EmptyClipboard()) return false;
//     if (SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr) return false;
//     block.Release(); // the clipboard owns it now
#pragma once

#include <windows.h>

#include <utility>

// Opens the clipboard for `owner` (may be null) and closes it when it goes.
// Another program usually holds the clipboard open only for a moment while it
// reads or writes it, so the opening is retried for `waitMs`; the caller's
// window answers nothing meanwhile, so the wait stays short, and whoever
// must not give up tries again later instead of waiting longer.
class ClipboardSession {
public:
    // How long the opening is retried by default, and the pause between the tries.
    static constexpr DWORD OPEN_WAIT_MS = 50;
    static constexpr DWORD OPEN_RETRY_PAUSE_MS = 10;

    explicit ClipboardSession(HWND owner, DWORD waitMs = OPEN_WAIT_MS);
    ClipboardSession(ClipboardSession&& other) noexcept : open(std::exchange(other.open, false)) {}
    ClipboardSession& operator=(ClipboardSession&&) = delete;
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession()
    {
        if (open) {
            CloseClipboard();
        }
    }

    // False when another window held the clipboard open all the while.
    explicit operator bool() const { return open; }

private:
    bool open;
};

// A global memory block, freed by GlobalFree unless released to a new owner
// (SetClipboardData takes it on success).
class UniqueGlobal {
public:
    UniqueGlobal() = default;
    explicit UniqueGlobal(HGLOBAL block) : block(block) {}
    UniqueGlobal(UniqueGlobal&& other) noexcept : block(std::exchange(other.block, nullptr)) {}
    UniqueGlobal& operator=(UniqueGlobal&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.block, nullptr));
        }
        return *this;
    }
    UniqueGlobal(const UniqueGlobal&) = delete;
    UniqueGlobal& operator=(const UniqueGlobal&) = delete;
    ~UniqueGlobal() { Reset(); }

    HGLOBAL Get() const { return block; }
    explicit operator bool() const { return block != nullptr; }
    HGLOBAL Release() { return std::exchange(block, nullptr); }
    void Reset(HGLOBAL replacement = nullptr)
    {
        if (block != nullptr) {
            GlobalFree(block);
        }
        block = replacement;
    }

private:
    HGLOBAL block = nullptr;
};

// Locks a movable global block while it lives; the block stays its owner's.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) : block(block), data(block != nullptr ? GlobalLock(block) : nullptr) {}
    GlobalLockScope(GlobalLockScope&& other) noexcept
        : block(std::exchange(other.block, nullptr)), data(std::exchange(other.data, nullptr))
    {
    }
    GlobalLockScope& operator=(GlobalLockScope&&) = delete;
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    ~GlobalLockScope()
    {
        if (data != nullptr) {
            GlobalUnlock(block);
        }
    }

    void* Data() const { return data; }
    explicit operator bool() const { return data != nullptr; }

private:
    HGLOBAL block;
    void* data;
};
