// Shows the chart full-screen with a synthetic panoramic picture and a few
// boxes, one of them hovered, until told to end: the screenshot test takes
// the screen meanwhile. Then it checks the screenshot against the chart's
// layout: each tooth's dashed outline lies on its box, in the hover colour
// for the hovered tooth only, with its number inside. Arguments: a file to
// create once the chart is drawn, a file whose appearance ends the showing,
// and the screenshot. Exits with 0 when the screenshot shows the layout.
#include "ChartTestHost.h"
#include "PanoramicBitmap.h"

#include "analysis/FindingKind.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
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

constexpr uint32_t BOX_GREY = 0x808080;
constexpr uint32_t HOVER_GREEN = 0x00FF00;
constexpr uint32_t NUMBER_RED = 0xFF0000;
// The number stands at the box's top-left corner.
constexpr LONG LABEL_WIDTH = 30;
constexpr LONG LABEL_HEIGHT = 24;

// Pixels of `colour` in `area` (screen coordinates) of the screenshot.
int Count(Gdiplus::Bitmap& shot, RECT area, uint32_t colour)
{
    int count = 0;
    for (LONG y = std::max(0L, area.top); y < std::min<LONG>(shot.GetHeight(), area.bottom); ++y) {
        for (LONG x = std::max(0L, area.left); x < std::min<LONG>(shot.GetWidth(), area.right); ++x) {
            Gdiplus::Color pixel;
            shot.GetPixel(x, y, &pixel);
            count += (pixel.GetValue() & 0xFFFFFF) == colour ? 1 : 0;
        }
    }
    return count;
}

// What the screenshot shows of each tooth of `teeth` (boxes in screen
// coordinates); every mismatch is told on the standard error. True when none
// was found.
bool ScreenshotShowsTheLayout(const std::wstring& path, const ToothInfoMap& teeth)
{
    Gdiplus::Bitmap shot(path.c_str());
    if (shot.GetLastStatus() != Gdiplus::Ok) {
        std::fprintf(stderr, "the screenshot cannot be read\n");
        return false;
    }
    bool shows = true;
    for (const auto& [key, tooth] : teeth) {
        const RECT& box = tooth.screenBox;
        const bool hovered = (tooth.flags & TOOTH_HOVER) != 0;
        const uint32_t outline = hovered ? HOVER_GREEN : BOX_GREY;
        const uint32_t number = hovered ? HOVER_GREEN : NUMBER_RED;
        // The 2-pixel pen straddles the edge; dashes cover about half of it.
        const RECT top{box.left, box.top - 1, box.right, box.top + 1};
        const RECT left{box.left - 1, box.top, box.left + 1, box.bottom};
        const RECT label{box.left, box.top, box.left + LABEL_WIDTH, box.top + LABEL_HEIGHT};
        RECT around = box;
        InflateRect(&around, 2, 2);
        const struct {
            const char* what;
            int count;
            int least;
        } checks[] = {
            {"outline along the top", Count(shot, top, outline), (box.right - box.left) / 2},
            {"outline down the left", Count(shot, left, outline), (box.bottom - box.top) / 2},
            {"number", Count(shot, label, number), 10},
        };
        for (const auto& check : checks) {
            if (check.count < check.least) {
                std::fprintf(stderr, "tooth %d: %s: %d pixels of the colour, %d wanted\n", tooth.toothNumber,
                             check.what, check.count, check.least);
                shows = false;
            }
        }
        if (!hovered && Count(shot, around, HOVER_GREEN) != 0) {
            std::fprintf(stderr, "tooth %d: drawn in the hover colour\n", tooth.toothNumber);
            shows = false;
        }
    }
    return shows;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
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
        // The pointer away from every tooth: over one, it would take the hover.
        SetCursorPos(0, 0);
        charttest::ChartHost host({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
        if (WritePicture(picture) && host.created && host.chart.SetImageFiles({picture})) {
            SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            AddTeeth(host.chart.displayedTeeth);
            host.chart.UpdateLayout(nullptr);
            // The new teeth repaint the chart as an analysis has it repainted.
            InvalidateRect(host.chart.GetSafeHwnd(), nullptr, TRUE);
            UpdateWindow(host.chart.GetSafeHwnd());
            // The layout as the screenshot will show it: a move of the
            // pointer afterwards may change the hover.
            ToothInfoMap shown = host.chart.displayedTeeth;
            POINT origin{0, 0};
            ClientToScreen(host.chart.GetSafeHwnd(), &origin);
            for (auto& entry : shown) {
                OffsetRect(&entry.second.screenBox, origin.x, origin.y);
            }
            CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            const ULONGLONG deadline = GetTickCount64() + WAIT_LIMIT_MS;
            while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageW(&msg);
                }
                Sleep(20);
            }
            result = ScreenshotShowsTheLayout(argv[3], shown) ? 0 : 1;
        }
        DeleteFileW(picture.c_str());
    }
    Gdiplus::GdiplusShutdown(token);
    return result;
}
