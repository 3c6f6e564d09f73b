#include "capture/SCatpure.h"

#include "foundation/JpegFile.h"
#include "ui/GdiHandles.h"
#include "ui/GdiplusPtr.h"

namespace {

// Layered and translucent windows are part of what the user sees.
constexpr DWORD SCREEN_COPY = SRCCOPY | CAPTUREBLT;

RECT VirtualScreen()
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Copies the part of `area` that lies on the virtual screen into `target`,
// whose (0, 0) stands for `area`'s top-left corner. A source that reaches
// past the virtual screen comes back all black on some systems, so only the
// on-screen part is asked for; the rest keeps the bitmap's black.
bool CopyScreen(HDC screen, HDC target, const RECT& area)
{
    const RECT virtualScreen = VirtualScreen();
    RECT visible{};
    if (!IntersectRect(&visible, &area, &virtualScreen)) {
        return true;
    }
    return BitBlt(target, visible.left - area.left, visible.top - area.top, visible.right - visible.left,
                  visible.bottom - visible.top, screen, visible.left, visible.top, SCREEN_COPY) != FALSE;
}

// The screen's pixels in `area` as a new bitmap, the parts off the virtual
// screen black; null when a step fails.
UniqueBitmap CopyScreenArea(const RECT& area)
{
    // GetDC(NULL) works in screen coordinates everywhere; a "DISPLAY" context
    // from CreateDCW has its origin at the virtual screen's corner under Wine,
    // which would shift every capture when a monitor lies left of the primary.
    const ClientDC screen(nullptr);
    if (screen.Get() == nullptr) {
        return {};
    }
    UniqueMemoryDC memory = UniqueMemoryDC::CompatibleWith(screen.Get());
    if (!memory) {
        return {};
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!bitmap) {
        return {};
    }
    ObjectSelection selected(memory.Get(), bitmap.Get());
    if (!selected || !PatBlt(memory.Get(), 0, 0, width, height, BLACKNESS) ||
        !CopyScreen(screen.Get(), memory.Get(), area)) {
        return {};
    }
    return bitmap;
}

} // namespace

bool CSCatpure::CaptureRectToFile(const RECT* rect, const wchar_t* path)
{
    if (path == nullptr || rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) {
        return false;
    }
    const UniqueBitmap bitmap = CopyScreenArea(*rect);
    if (!bitmap) {
        return false;
    }
    GdiplusPtr<Gdiplus::Bitmap> image = MakeGdiplus<Gdiplus::Bitmap>(bitmap.Get(), static_cast<HPALETTE>(nullptr));
    if (!image || image->GetLastStatus() != Gdiplus::Ok) {
        return false;
    }
    return SaveImageAsJpeg(image.get(), path);
}

bool CSCatpure::CaptureVirtualScreen(HBITMAP* out)
{
    if (out == nullptr || *out != nullptr) {
        return false;
    }
    UniqueBitmap bitmap = CopyScreenArea(VirtualScreen());
    *out = bitmap.Release();
    return *out != nullptr;
}
