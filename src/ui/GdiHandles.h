// Move-only owners of GDI handles and scoped uses of device contexts.
//
//     UniqueMemoryDC memory = UniqueMemoryDC::CompatibleWith(ClientDC(window).Get());
//     UniqueBitmap buffer(CreateCompatibleBitmap(...));
//     {
//         ObjectSelection selected(memory.Get(), buffer.Get());
//         ... draw into memory.Get() ...
//     } // the memory DC's previous bitmap is selected back here
//
// Declare the selection after the objects it selects, so that it goes
// first: an object must not be deleted while it is selected.
#pragma once

#include <windows.h>

#include <utility>

// A GDI object that DeleteObject releases: a bitmap, a font, a pen, a brush,
// a region.
template <typename Handle> class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(Handle handle) : handle(handle) {}
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.handle, nullptr));
        }
        return *this;
    }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
    ~UniqueGdiObject() { Reset(); }

    Handle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    // Hands the object to a caller that releases it itself.
    Handle Release() { return std::exchange(handle, nullptr); }
    void Reset(Handle replacement = nullptr)
    {
        if (handle != nullptr) {
            DeleteObject(handle);
        }
        handle = replacement;
    }

private:
    Handle handle = nullptr;
};

using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueRegion = UniqueGdiObject<HRGN>;

// A memory device context, released by DeleteDC.
class UniqueMemoryDC {
public:
    UniqueMemoryDC() = default;
    explicit UniqueMemoryDC(HDC dc) : dc(dc) {}
    // A memory device context compatible with `reference` (null: the screen).
    static UniqueMemoryDC CompatibleWith(HDC reference) { return UniqueMemoryDC(CreateCompatibleDC(reference)); }
    UniqueMemoryDC(UniqueMemoryDC&& other) noexcept : dc(std::exchange(other.dc, nullptr)) {}
    UniqueMemoryDC& operator=(UniqueMemoryDC&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.dc, nullptr));
        }
        return *this;
    }
    UniqueMemoryDC(const UniqueMemoryDC&) = delete;
    UniqueMemoryDC& operator=(const UniqueMemoryDC&) = delete;
    ~UniqueMemoryDC() { Reset(); }

    HDC Get() const { return dc; }
    explicit operator bool() const { return dc != nullptr; }
    void Reset(HDC replacement = nullptr)
    {
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        dc = replacement;
    }

private:
    HDC dc = nullptr;
};

// Selects an object into a device context and the one it replaced back when
// it goes. It owns neither the device context nor the object.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
    ObjectSelection(ObjectSelection&& other) noexcept
        : dc(std::exchange(other.dc, nullptr)), previous(std::exchange(other.previous, nullptr))
    {
    }
    ObjectSelection& operator=(ObjectSelection&&) = delete;
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;
    ~ObjectSelection()
    {
        if (dc != nullptr && previous != nullptr && previous != HGDI_ERROR) {
            SelectObject(dc, previous);
        }
    }

    // False when the object could not be selected.
    explicit operator bool() const { return previous != nullptr && previous != HGDI_ERROR; }

private:
    HDC dc;
    HGDIOBJ previous;
};

// The client-area device context of a window (GetDC), released with it.
class ClientDC {
public:
    explicit ClientDC(HWND window) : window(window), dc(GetDC(window)) {}
    ClientDC(const ClientDC&) = delete;
    ClientDC& operator=(const ClientDC&) = delete;
    ~ClientDC()
    {
        if (dc != nullptr) {
            ReleaseDC(window, dc);
        }
    }

    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

// BeginPaint and EndPaint around the handling of WM_PAINT.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window(window), dc(BeginPaint(window, &paint)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(window, &paint); }

    HDC Get() const { return dc; }
    const RECT& PaintRect() const { return paint.rcPaint; }

private:
    HWND window;
    PAINTSTRUCT paint{};
    HDC dc;
};
