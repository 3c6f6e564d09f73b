#include "ChartTestHost.h"

#include <memory>

namespace charttest {

ChartHost::ChartHost(const RECT& rect) : CDialogEx(IDD_CHART_TEST_HOST)
{
    if (!Create()) {
        return;
    }
    SetWindowPos(GetSafeHwnd(), HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(GetSafeHwnd(), &client);
    created = chart.Create(CHART_STYLE, client, this, 0, CHART_ID);
}

ChartHost::~ChartHost()
{
    if (chart.GetSafeHwnd() != nullptr) {
        DestroyWindow(chart.GetSafeHwnd());
    }
}

bool SaveAsBmp(Gdiplus::Bitmap& bitmap, const std::wstring& path)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<unsigned char> block(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
    if (size == 0 || Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/bmp") {
            return bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}

bool WriteSolidImage(const std::wstring& path, int width, int height, COLORREF colour)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        Gdiplus::SolidBrush brush(Gdiplus::Color(GetRValue(colour), GetGValue(colour), GetBValue(colour)));
        graphics.FillRectangle(&brush, 0, 0, width, height);
    }
    return SaveAsBmp(bitmap, path);
}

Frame ReadFrame(HWND window)
{
    UpdateWindow(window);
    Frame frame;
    RECT client{};
    GetClientRect(window, &client);
    frame.width = client.right;
    frame.height = client.bottom;
    frame.pixels.assign(static_cast<size_t>(frame.width) * frame.height, 0);

    HDC windowDC = GetDC(window);
    HDC copyDC = CreateCompatibleDC(windowDC);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy != nullptr) {
        HGDIOBJ old = SelectObject(copyDC, copy);
        BitBlt(copyDC, 0, 0, frame.width, frame.height, windowDC, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < frame.pixels.size(); ++i) {
            frame.pixels[i] = source[i] & 0xFFFFFF;
        }
        SelectObject(copyDC, old);
        DeleteObject(copy);
    }
    DeleteDC(copyDC);
    ReleaseDC(window, windowDC);
    return frame;
}

CToothInfo Tooth(int32_t number, uint32_t mask, RECT imageBox)
{
    CToothInfo tooth;
    tooth.toothNumber = number;
    tooth.findingMask = mask;
    tooth.imageBox = imageBox;
    return tooth;
}

} // namespace charttest
