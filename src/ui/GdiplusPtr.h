// GDI+ objects owned by std::unique_ptr.
//
// GDI+'s classes take their memory from GDI+'s own heap (GdiplusBase's
// operator new and delete call GdipAlloc and GdipFree), so the default
// deleter, which calls delete, is the right one: it runs the object's
// destructor (which releases the GDI+ handle) and gives the memory back to
// GDI+. Every GDI+ object must be gone before GdiplusShutdown.
//
//     GdiplusPtr<Gdiplus::Pen> pen = MakeGdiplus<Gdiplus::Pen>(Gdiplus::Color(0xFF808080), 2.0f);
//     if (pen && pen->GetLastStatus() == Gdiplus::Ok) ...
#pragma once

#include "ui/Gdiplus.h"

#include <memory>
#include <new>
#include <utility>

template <typename T> using GdiplusPtr = std::unique_ptr<T>;

// Makes a GDI+ object, or null when GDI+'s heap has no room. A plain `new`
// cannot report that: GDI+'s operator new returns null instead of throwing,
// and the object would then be built at address 0.
template <typename T, typename... Args> GdiplusPtr<T> MakeGdiplus(Args&&... args)
{
    void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(T));
    if (memory == nullptr) {
        return nullptr;
    }
    return GdiplusPtr<T>(::new (memory) T(std::forward<Args>(args)...));
}
