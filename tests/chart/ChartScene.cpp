// Shows the chart full-screen with a synthetic panoramic picture and a few
// boxes, one of them hovered, until told to end: the screenshot test takes
// the screen meanwhile. Arguments: a file to create once the chart is drawn,
// and a file whose appearance ends the program.
#include "ChartTestHost.h"
#include "PanoramicBitmap.h"

#include "analysis/FindingKind.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD WAIT_LIMIT_MS = 60000;
constexpr uint32_t IMAGE_WIDTH = 1500;
constexpr uint32_t IMAGE_HEIGHT = 750;

bool WritePicture(const std::wstring& path)
{
    const auto bitmap = ToBitmap(PanoramicImage(IMAGE_WIDTH, IMAGE_HEIGHT));
    return charttest::SaveAsBmp(*bitmap, path);
}

void AddTeeth(ToothInfoMap& teeth)
{
    const int32_t upper[] = {18, 17, 16, 15, 14, 13, 12, 11, 21, 22, 23, 24, 25, 26, 27, 28};
    const int32_t width = static_cast<int32_t>(IMAGE_WIDTH) / 20;
    for (int i = 0; i < 16; ++i) {
        const int32_t left = width * 2 + i * width;
        const uint32_t mask = i % 5 == 0 ? FINDING_CAVITY : FINDING_HEALTHY;
        teeth[ToothKey(0, upper[i])] = charttest::Tooth(upper[i], mask, {left, 230, left + width - 6, 360});
        const int32_t lower = upper[i] + 20;
        teeth[ToothKey(0, lower)] = charttest::Tooth(lower, mask, {left, 390, left + width - 6, 520});
    }
    teeth[ToothKey(0, 36)].flags = TOOTH_HOVER;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int result = 1;
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring picture = std::wstring(temp) + L"quill-chart-scene.bmp";
        charttest::ChartHost host({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
        if (WritePicture(picture) && host.created && host.chart.SetImageFiles({picture})) {
            SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            AddTeeth(host.chart.displayedTeeth);
            host.chart.UpdateLayout(nullptr);
            RedrawWindow(host.chart.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            const ULONGLONG deadline = GetTickCount64() + WAIT_LIMIT_MS;
            while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageW(&msg);
                }
                Sleep(20);
            }
            result = 0;
        }
        DeleteFileW(picture.c_str());
    }
    Gdiplus::GdiplusShutdown(token);
    return result;
}
