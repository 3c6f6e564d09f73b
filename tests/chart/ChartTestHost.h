// What the chart's component tests share: a dialog that hosts the chart,
// image files made by the test, and the frame read back from a window.
#pragma once

#include "chart/ToothStatic.h"
#include "ui/Dialog.h"
#include "ui/Gdiplus.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ChartTestIds.h"

namespace charttest {

// The chart's style as the main window creates it: child, visible, bitmap,
// notify, centred image.
constexpr DWORD CHART_STYLE = 0x5000030E;
constexpr UINT CHART_ID = 0xFFFF;

// An empty popup dialog at `rect` (screen coordinates) with a chart filling
// its client area.
class ChartHost : public CDialogEx {
public:
    explicit ChartHost(const RECT& rect);
    ~ChartHost() override;

    CToothStatic chart;
    bool created = false;
};

bool SaveAsBmp(Gdiplus::Bitmap& bitmap, const std::wstring& path);

// A file holding one colour of the given size, as a BMP.
bool WriteSolidImage(const std::wstring& path, int width, int height, COLORREF colour);

// The window's client pixels as drawn on the screen: BitBlt from its own
// device context after UpdateWindow.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top-down

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Frame ReadFrame(HWND window);

constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

// Points the chart at a fake analysis server on loopback `port`, with the
// machine id of one synthetic adapter. The process-wide adapter list is
// emptied first: an id an earlier test found would stay for the process.
void UseFakeServer(CToothStatic& chart, unsigned short port);

// A tooth of the current image with its box in image pixels.
CToothInfo Tooth(int32_t number, uint32_t mask, RECT imageBox);

} // namespace charttest
