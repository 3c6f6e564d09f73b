// What the capture tests share: a window of one colour on the screen, and a
// captured JPEG compared with the colours expected at a few pixels.
#pragma once

#include "WinTestUtil.h"
#include "ui/Gdiplus.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace capturetest {

constexpr COLORREF RED = RGB(0xE0, 0x20, 0x20);
constexpr COLORREF BLUE = RGB(0x20, 0x20, 0xE0);
constexpr COLORREF GREEN = RGB(0x20, 0xD0, 0x20);
constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr int JPEG_TOLERANCE = 40;

constexpr wchar_t COLOUR_CLASS[] = L"QuillCaptureTestColour";

// A topmost window filled with one colour at `rect` (screen coordinates).
class ColourWindow {
public:
    // A class per colour: the background brush belongs to the class.
    ColourWindow(const RECT& rect, COLORREF colour) : rectangle(rect), fill(colour)
    {
        const std::wstring className = std::wstring(COLOUR_CLASS) + std::to_wstring(colour);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className.c_str();
        windowClass.hbrBackground = CreateSolidBrush(colour);
        if (RegisterClassW(&windowClass) == 0) {
            // Registered by an earlier window of this colour.
            DeleteObject(windowClass.hbrBackground);
        }
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className.c_str(), L"", WS_POPUP,
                                 rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
        ShowWindow(window, SW_SHOWNA);
        UpdateWindow(window);
    }
    ~ColourWindow() { DestroyWindow(window); }
    ColourWindow(const ColourWindow&) = delete;
    ColourWindow& operator=(const ColourWindow&) = delete;
    HWND Handle() const { return window; }
    // Waits until the screen shows the window whole in its colour.
    bool OnScreen() const
    {
        return testutil::WaitForScreenColour(rectangle,
                                             (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill));
    }

private:
    RECT rectangle;
    COLORREF fill;
    HWND window = nullptr;
};

inline bool Near(const Gdiplus::Color& pixel, COLORREF expected)
{
    return std::abs(pixel.GetR() - GetRValue(expected)) <= JPEG_TOLERANCE &&
           std::abs(pixel.GetG() - GetGValue(expected)) <= JPEG_TOLERANCE &&
           std::abs(pixel.GetB() - GetBValue(expected)) <= JPEG_TOLERANCE;
}

struct Probe {
    int x;
    int y;
    COLORREF colour;
};

inline void ExpectImage(const std::wstring& path, int width, int height, const std::vector<Probe>& probes)
{
    Gdiplus::Bitmap image(path.c_str());
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(image.GetWidth(), static_cast<UINT>(width));
    EXPECT_EQ(image.GetHeight(), static_cast<UINT>(height));
    for (const Probe& p : probes) {
        Gdiplus::Color pixel;
        image.GetPixel(p.x, p.y, &pixel);
        EXPECT_TRUE(Near(pixel, p.colour)) << "at " << p.x << "," << p.y << ": " << std::hex << pixel.GetValue();
    }
}

} // namespace capturetest
