// Copies what the screen shows: a rectangle of the virtual screen into a
// JPEG file, or the whole virtual screen into a bitmap. Coordinates are those
// of the virtual screen, negative left of or above the primary monitor.
#pragma once

#include <windows.h>

class CSCatpure {
public:
    virtual ~CSCatpure() = default;

    // `out` must hold a null handle; on success it holds a new bitmap of the
    // whole virtual screen that the caller deletes.
    virtual bool CaptureVirtualScreen(HBITMAP* out);
    // Writes the screen under `rect` to `path` as JPEG: width × height
    // pixels, (0, 0) the screen pixel at (left, top). Parts outside the
    // virtual screen are black. False, with no file written, for a null path
    // or a rectangle without area.
    virtual bool CaptureRectToFile(const RECT* rect, const wchar_t* path);
};
