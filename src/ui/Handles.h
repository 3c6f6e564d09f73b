// Move-only owners of kernel handles.
#pragma once

#include <windows.h>

#include <utility>

// Owns a handle that CloseHandle releases (a mutex, a thread, an event).
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.handle, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    void Reset(HANDLE replacement = nullptr)
    {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
        handle = replacement;
    }

private:
    HANDLE handle = nullptr;
};
