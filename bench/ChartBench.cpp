// The chart's drawing under Wine: a 3000 x 1500 panoramic picture in a
// 1600 x 900 chart with 32 teeth. Measures a frame with erasing (the image,
// the boxes and the copy to the screen), a paint without erasing (the boxes
// and the copy: the cost of every hover change), the frame after the layout
// changed (when the stretched copy is remade) and UpdateLayout; beside them
// the peer, GDI+ stretching the whole image on every erase.
#include "ChartTestHost.h"
#include "PanoramicBitmap.h"

#include "analysis/FindingKind.h"
#include "ui/GdiHandles.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t IMAGE_WIDTH = 3000;
constexpr uint32_t IMAGE_HEIGHT = 1500;
constexpr RECT CHART_RECT = {0, 0, 1600, 900};
constexpr int ROUNDS = 30;

bool WritePicture(const std::wstring& path)
{
    const auto bitmap = ToBitmap(PanoramicImage(IMAGE_WIDTH, IMAGE_HEIGHT));
    return charttest::SaveAsBmp(*bitmap, path);
}

void AddTeeth(ToothInfoMap& teeth)
{
    const int32_t width = static_cast<int32_t>(IMAGE_WIDTH) / 20;
    for (int32_t i = 0; i < 16; ++i) {
        const int32_t left = width * 2 + i * width;
        const int32_t upper = i < 8 ? 18 - i : 21 + (i - 8);
        teeth[ToothKey(0, upper)] = charttest::Tooth(upper, FINDING_CAVITY, {left, 450, left + width - 10, 720});
        teeth[ToothKey(0, upper + 20)] =
            charttest::Tooth(upper + 20, FINDING_CAVITY, {left, 780, left + width - 10, 1050});
    }
    teeth[ToothKey(0, 36)].flags = TOOTH_HOVER;
}

// Mean of `rounds` timings of `work`, in milliseconds; `prepare` runs untimed first.
template <typename Prepare, typename Work> double MeanMs(int rounds, Prepare prepare, Work work)
{
    double total = 0;
    for (int i = 0; i < rounds; ++i) {
        total += BestMs(1, prepare, work);
    }
    return total / rounds;
}

void Redraw(HWND window, UINT flags)
{
    RedrawWindow(window, nullptr, nullptr, flags);
    GdiFlush();
}

} // namespace

int wmain()
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int result = 1;
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring picture = std::wstring(temp) + L"quill-chart-bench.bmp";
        charttest::ChartHost host(CHART_RECT);
        CToothStatic& chart = host.chart;
        if (WritePicture(picture) && host.created && chart.SetImageFiles({picture})) {
            HWND window = chart.GetSafeHwnd();
            AddTeeth(chart.displayedTeeth);
            chart.UpdateLayout(nullptr);
            Redraw(window, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

            const UINT erase = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
            const UINT paint = RDW_INVALIDATE | RDW_UPDATENOW;
            const double frame = BestMs(
                ROUNDS, [] {}, [&] { Redraw(window, erase); });
            const double paintOnly = BestMs(
                ROUNDS, [] {}, [&] { Redraw(window, paint); });
            const double relayout = BestMs(
                5, [&] { chart.ForgetStretchedImage(); }, [&] { Redraw(window, erase); });
            // The hover moving to a tooth not hovered before, whose green
            // drawing is made on the way: the dearest hover change.
            auto next = chart.displayedTeeth.begin();
            const double firstHover = MeanMs(
                static_cast<int>(chart.displayedTeeth.size()),
                [&] {
                    for (auto& entry : chart.displayedTeeth) {
                        entry.second.flags = 0;
                    }
                    (next++)->second.flags = TOOTH_HOVER;
                },
                [&] { Redraw(window, paint); });
            const RECT client = CHART_RECT;
            const double layout = BestMs(
                ROUNDS, [] {}, [&] { chart.UpdateLayout(&client); });

            // What each erase would cost if it stretched the whole image into
            // the back buffer, as a chart without the stretched copy does.
            ClientDC screen(window);
            UniqueMemoryDC peerDC = UniqueMemoryDC::CompatibleWith(screen.Get());
            UniqueBitmap peerBuffer(CreateCompatibleBitmap(screen.Get(), CHART_RECT.right, CHART_RECT.bottom));
            ObjectSelection peerSelected(peerDC.Get(), peerBuffer.Get());
            const double peer = BestMs(
                5, [] {},
                [&] {
                    Gdiplus::Graphics graphics(peerDC.Get());
                    graphics.DrawImage(chart.image.get(), Gdiplus::Rect(0, 0, CHART_RECT.right, CHART_RECT.bottom));
                    GdiFlush();
                });

            // The boxes as GDI+ draws them on the back buffer's device context.
            const double peerBoxes = BestMs(
                ROUNDS, [] {},
                [&] {
                    Gdiplus::Graphics graphics(peerDC.Get());
                    for (const auto& entry : chart.displayedTeeth) {
                        const RECT& box = entry.second.screenBox;
                        graphics.DrawRectangle(
                            chart.boxPen.get(),
                            Gdiplus::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top));
                        graphics.DrawString(
                            L"11", 2, chart.numberFont.get(),
                            Gdiplus::PointF(static_cast<Gdiplus::REAL>(box.left), static_cast<Gdiplus::REAL>(box.top)),
                            chart.numberBrush.get());
                    }
                    GdiFlush();
                });

            std::printf("chart 1600x900, image %ux%u, %zu teeth (best of %d)\n", IMAGE_WIDTH, IMAGE_HEIGHT,
                        chart.displayedTeeth.size(), ROUNDS);
            std::printf("frame with erasing          %8.3f ms (target < 16)\n", frame);
            std::printf("paint without erasing       %8.3f ms (target < 2)\n", paintOnly);
            std::printf("paint at a first hover      %8.3f ms (mean)\n", firstHover);
            std::printf("frame after a layout change %8.3f ms (the stretched copy remade)\n", relayout);
            std::printf("UpdateLayout                %8.4f ms\n", layout);
            std::printf("peer: GDI+ stretch per erase %7.3f ms, %.1f times the frame with erasing\n", peer,
                        peer / frame);
            std::printf("peer: GDI+ boxes per paint   %7.3f ms, %.1f times the paint without erasing\n", peerBoxes,
                        peerBoxes / paintOnly);
            result = 0;
        }
        DeleteFileW(picture.c_str());
    }
    Gdiplus::GdiplusShutdown(token);
    return result;
}
