#include "ChartTestHost.h"

#include "WinTestUtil.h"

#include "foundation/MacAddressUtil.h"

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
    return testutil::SaveBitmapAs(bitmap, path, L"image/bmp");
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
    Frame frame;
    frame.pixels = testutil::ReadClientPixels(window, &frame.width, &frame.height);
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

void UseFakeServer(CToothStatic& chart, unsigned short port)
{
    g_macAddressUtil.Refresh([](IP_ADAPTER_INFO*, ULONG*) -> ULONG { return ERROR_NO_DATA; });
    chart.serverHost = "127.0.0.1";
    chart.serverPort = port;
    chart.adapterTable = testutil::OneAdapterTable;
}

} // namespace charttest
