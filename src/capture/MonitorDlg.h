// The capture-region picker: photographs the whole virtual screen, lets the
// user choose a monitor when there are several, covers that monitor's work
// area with the photograph tinted, and lets the user drag out the region,
// which shows untinted, and keep it.
#pragma once

#include "capture/MonitorEntry.h"
#include "ui/Dialog.h"
#include "ui/GdiHandles.h"
#include "ui/Gdiplus.h"
#include "ui/GdiplusPtr.h"

#include <cstdint>
#include <vector>

class CMonitorDlg : public CDialogEx {
public:
    CMonitorDlg();

    // True when the user kept a rectangle, then in `out` in screen
    // coordinates; otherwise `out` is not written. A run that starts while
    // one runs (from a window that the run's modal loops leave enabled) is
    // refused with false.
    bool SelectCaptureRegion(RECT* out);
    bool Running() const { return running; }

    // The monitor enumeration's callback; `self` is the picker, whose
    // `monitors` gains one entry per monitor.
    static BOOL CALLBACK EnumMonitorProc(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM self);
    // Fills `monitors` afresh with every display monitor, left first.
    void EnumerateMonitors();

    // A virtual so that tests can stand for a screen copy that failed.
    virtual void CaptureVirtualScreen();
    // Remakes the tinted picture of the chosen monitor, `exclude` (client
    // coordinates, may be null) left untinted.
    void UpdateOverlay(const RECT* exclude);

    std::vector<SMonitorEntry> monitors;
    int32_t originX = 0;
    int32_t originY = 0;
    RECT monitorRect{};
    POINT dragStart{};
    POINT dragEnd{};
    RECT selection{};
    GdiplusPtr<Gdiplus::Bitmap> snapshot;
    GdiplusPtr<Gdiplus::Bitmap> overlay;
    UniqueBitmap snapshotBitmap;
    bool dragging = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

    // Drops the photograph and the overlay.
    void DropPictures();

private:
    BOOL OnEraseBkgnd(HDC dc);
    void OnLButtonDown(UINT flags, POINT point);
    void OnMouseMove(UINT flags, POINT point);
    void OnLButtonUp(UINT flags, POINT point);
    void OnPaint();

    bool running = false;
    bool asking = false;
};
