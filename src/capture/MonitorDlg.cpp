#include "capture/MonitorDlg.h"

#include "capture/SelectDisplayDlg.h"
#include "res/resource.h"
#include "ui/ResString.h"

#include <windowsx.h>

#include <utility>

namespace {

constexpr Gdiplus::ARGB TINT_COLOR = 0xC0FF8080;
constexpr Gdiplus::ARGB OUTLINE_COLOR = 0xFFFFFFFF;
constexpr Gdiplus::REAL OUTLINE_WIDTH = 1.0f;

LONG Width(const RECT& rect)
{
    return rect.right - rect.left;
}

LONG Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

// Draws `picture` pixel for pixel at the device context's origin.
void DrawUnscaled(HDC dc, Gdiplus::Bitmap& picture)
{
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(&picture, 0, 0, static_cast<INT>(picture.GetWidth()), static_cast<INT>(picture.GetHeight()));
}

// Resets the flag when the run ends, whichever way it ends.
class RunningScope {
public:
    explicit RunningScope(bool& flag) : flag(flag) { flag = true; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
    ~RunningScope() { flag = false; }

private:
    bool& flag;
};

} // namespace

CMonitorDlg::CMonitorDlg() : CDialogEx(IDD_MONITOR_DIALOG) {}

bool CMonitorDlg::SelectCaptureRegion(RECT* out)
{
    // The pictures belong to the windows of the run that is open; a second
    // run would replace them under those windows.
    if (running) {
        return false;
    }
    RunningScope scope(running);
    CaptureVirtualScreen();
    EnumerateMonitors();
    const POINT origin = MonitorOrigin(monitors);
    originX = origin.x;
    originY = origin.y;

    INT_PTR chosen = 0;
    if (monitors.size() > 1) {
        CSelectDisplayDlg chooser(&monitors);
        chosen = chooser.DoModal() == IDOK ? chooser.result : -1;
    }
    if (chosen < 0 || static_cast<size_t>(chosen) >= monitors.size()) {
        return false;
    }
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitors[static_cast<size_t>(chosen)].monitor, &info)) {
        return false;
    }
    monitorRect = info.rcWork;
    UpdateOverlay(nullptr);
    if (DoModal() != IDOK) {
        return false;
    }
    if (out != nullptr) {
        *out = selection;
    }
    return true;
}

BOOL CALLBACK CMonitorDlg::EnumMonitorProc(HMONITOR monitor, HDC, LPRECT rect, LPARAM self)
{
    if (monitor != nullptr && rect != nullptr && self != 0) {
        reinterpret_cast<CMonitorDlg*>(self)->monitors.push_back(SMonitorEntry{monitor, *rect});
    }
    return TRUE;
}

void CMonitorDlg::EnumerateMonitors()
{
    monitors.clear();
    EnumDisplayMonitors(nullptr, nullptr, EnumMonitorProc, reinterpret_cast<LPARAM>(this));
    SortMonitors(monitors);
}

void CMonitorDlg::DropPictures()
{
    overlay.reset();
    snapshot.reset();
    snapshotBitmap.Reset();
}

void CMonitorDlg::CaptureVirtualScreen()
{
    DropPictures();
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    {
        // The screen's device context in screen coordinates: under Wine one
        // made for "DISPLAY" starts at the virtual screen's corner instead.
        const ClientDC screen(nullptr);
        if (screen.Get() == nullptr) {
            return;
        }
        const UniqueMemoryDC memory = UniqueMemoryDC::CompatibleWith(screen.Get());
        UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
        if (!memory || !bitmap) {
            return;
        }
        const ObjectSelection selected(memory.Get(), bitmap.Get());
        if (!selected || !BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), left, top, SRCCOPY | CAPTUREBLT)) {
            return;
        }
        snapshotBitmap = std::move(bitmap);
    }
    GdiplusPtr<Gdiplus::Bitmap> picture =
        MakeGdiplus<Gdiplus::Bitmap>(snapshotBitmap.Get(), static_cast<HPALETTE>(nullptr));
    if (picture && picture->GetLastStatus() == Gdiplus::Ok) {
        snapshot = std::move(picture);
    }
}

void CMonitorDlg::UpdateOverlay(const RECT* exclude)
{
    if (!snapshot) {
        return;
    }
    overlay.reset();
    if (IsRectEmpty(&monitorRect)) {
        return;
    }
    // A monitor that lies outside the photograph (the screens changed since
    // it was taken) gets no picture: the clone fails.
    GdiplusPtr<Gdiplus::Bitmap> copy(snapshot->Clone(static_cast<INT>(monitorRect.left - originX),
                                                     static_cast<INT>(monitorRect.top - originY), Width(monitorRect),
                                                     Height(monitorRect), snapshot->GetPixelFormat()));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok) {
        return;
    }
    Gdiplus::Region tinted(Gdiplus::Rect(0, 0, Width(monitorRect), Height(monitorRect)));
    if (exclude != nullptr) {
        tinted.Exclude(Gdiplus::Rect(exclude->left, exclude->top, Width(*exclude), Height(*exclude)));
    }
    Gdiplus::Graphics graphics(copy.get());
    const Gdiplus::SolidBrush tint{Gdiplus::Color(TINT_COLOR)};
    graphics.FillRegion(&tint, &tinted);
    overlay = std::move(copy);
}

LRESULT CMonitorDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), point);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), point);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), point);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

BOOL CMonitorDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SetWindowPos(hwnd, HWND_TOP, monitorRect.left, monitorRect.top, Width(monitorRect), Height(monitorRect), 0);
    return TRUE;
}

BOOL CMonitorDlg::OnEraseBkgnd(HDC dc)
{
    if (overlay) {
        DrawUnscaled(dc, *overlay);
    }
    return TRUE;
}

void CMonitorDlg::OnLButtonDown(UINT, POINT point)
{
    if (asking) {
        return;
    }
    dragStart = point;
}

void CMonitorDlg::OnMouseMove(UINT flags, POINT point)
{
    if (asking) {
        return;
    }
    if ((flags & MK_LBUTTON) == 0) {
        dragging = false;
        return;
    }
    dragEnd = point;
    dragging = true;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CMonitorDlg::OnPaint()
{
    const PaintDC paint(hwnd);
    // Without a picture (the screen copy failed) the drag draws nothing.
    if (!dragging || !overlay) {
        return;
    }
    GdiplusPtr<Gdiplus::Bitmap> frame(overlay->Clone(0, 0, static_cast<INT>(overlay->GetWidth()),
                                                     static_cast<INT>(overlay->GetHeight()),
                                                     overlay->GetPixelFormat()));
    if (!frame || frame->GetLastStatus() != Gdiplus::Ok) {
        return;
    }
    const RECT span = SpannedRect(dragStart, dragEnd);
    {
        Gdiplus::Graphics graphics(frame.get());
        const Gdiplus::Pen outline{Gdiplus::Color(OUTLINE_COLOR), OUTLINE_WIDTH};
        // The outline runs on the first and last rows and columns inside.
        graphics.DrawRectangle(&outline, static_cast<INT>(span.left), static_cast<INT>(span.top), Width(span) - 1,
                               Height(span) - 1);
    }
    DrawUnscaled(paint.Get(), *frame);
}

void CMonitorDlg::OnLButtonUp(UINT, POINT point)
{
    // The question's own loop still sends the overlay the mouse; a second
    // question on top of the first would end the dialog twice.
    if (asking) {
        return;
    }
    dragEnd = point;
    dragging = false;
    const RECT span = SpannedRect(dragStart, dragEnd);
    UpdateOverlay(&span);
    InvalidateRect(hwnd, nullptr, TRUE);
    selection = span;
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&selection), 2);
    // Top-most, so that the question shows above the top-most overlay.
    asking = true;
    const int answer = ShowMessageBox(IDS_SAVE_CAPTURE_REGION, MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST);
    asking = false;
    if (answer == IDYES) {
        EndDialog(IDOK);
    } else if (answer == IDNO) {
        EndDialog(IDCANCEL);
    }
}
