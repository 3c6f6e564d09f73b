// The chart's drawing under Wine: a 3000 x 1500 panoramic picture in a
// 1600 x 900 chart with 32 teeth. Measures a frame with erasing (the image,
// the boxes and the copy to the screen), a paint without erasing (the boxes
// and the copy: the cost of every hover change), the frame after the layout
// changed (when the stretched copy is remade) and UpdateLayout; beside them
// the peer, GDI+ stretching the whole image on every erase.
//
// Then, in a 1920 x 1080 chart: the first frame of a picture of each size,
// smaller and larger than the chart, beside GDI+ stretching it; and what a
// reply of many boxes of 30000 x 30000 pixels costs beyond a normal analysis
// of 32 teeth, in UI time (the analysis, the frame, a hover into a box) and
// in memory.
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "PanoramicBitmap.h"

#include "analysis/FindingKind.h"
#include "foundation/TempFiles.h"
#include "ui/GdiHandles.h"

#include <commctrl.h>
#include <psapi.h>

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

// The best of `rounds` timings of GDI+ stretching `image` over `chart`
// through a device context like the window's, in milliseconds.
double PeerStretchMs(HWND window, Gdiplus::Image* image, const RECT& chart, int rounds)
{
    ClientDC screen(window);
    UniqueMemoryDC peerDC = UniqueMemoryDC::CompatibleWith(screen.Get());
    UniqueBitmap peerBuffer(CreateCompatibleBitmap(screen.Get(), chart.right, chart.bottom));
    ObjectSelection peerSelected(peerDC.Get(), peerBuffer.Get());
    return BestMs(
        rounds, [] {},
        [&] {
            Gdiplus::Graphics graphics(peerDC.Get());
            graphics.DrawImage(image, Gdiplus::Rect(0, 0, chart.right, chart.bottom));
            GdiFlush();
        });
}

constexpr RECT FULL_HD = {0, 0, 1920, 1080};
constexpr UINT ERASE = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

// The first frame of pictures smaller and larger than the chart: the erase
// that stretches the new picture and the paint.
void FirstFrames(const std::wstring& folder)
{
    const SIZE sizes[] = {{320, 180}, {800, 450}, {1280, 1024}, {1919, 1081}, {3000, 1500}, {6000, 600}};
    std::printf("first frame of a picture in a 1920x1080 chart (target < 50 ms), best of 5\n");
    for (const SIZE& size : sizes) {
        const std::wstring picture = folder + L"first-frame.bmp";
        const auto bitmap = ToBitmap(PanoramicImage(static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy)));
        charttest::ChartHost host(FULL_HD);
        CToothStatic& chart = host.chart;
        if (!charttest::SaveAsBmp(*bitmap, picture) || !host.created || !chart.SetImageFiles({picture})) {
            continue;
        }
        const HWND window = chart.GetSafeHwnd();
        Redraw(window, ERASE);
        const double frame = BestMs(
            5, [&] { chart.ForgetStretchedImage(); }, [&] { Redraw(window, ERASE); });
        const double peer = PeerStretchMs(window, chart.image.get(), FULL_HD, 2);
        std::printf("  %5ldx%-5ld %8.2f ms   peer: GDI+ stretch %8.2f ms\n", size.cx, size.cy, frame, peer);
        DeleteFileW(picture.c_str());
    }
}

size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// `count` boxes of 30000 x 30000 image pixels whose top-left corners are
// spread over the picture, numbered 1 to `count`: the chart reads every line
// and files the boxes of the 32 FDI tooth numbers among them.
std::string LargeBoxes(int count)
{
    std::string boxes;
    for (int i = 0; i < count; ++i) {
        const int left = (i * 37) % static_cast<int>(IMAGE_WIDTH);
        const int top = (i * 53) % static_cast<int>(IMAGE_HEIGHT);
        boxes += std::to_string(left + 15000) + "," + std::to_string(top + 15000) + ",30000,30000," +
                 std::to_string(i + 1) + "\n";
    }
    return boxes;
}

// 32 teeth as a real reply places them.
std::string NormalBoxes()
{
    std::string boxes;
    const int32_t width = static_cast<int32_t>(IMAGE_WIDTH) / 20;
    for (int32_t i = 0; i < 16; ++i) {
        const int32_t centreX = width * 2 + i * width + width / 2;
        const int32_t upper = i < 8 ? 18 - i : 21 + (i - 8);
        boxes += std::to_string(centreX) + ",585," + std::to_string(width - 10) + ",270," + std::to_string(upper) +
                 "\n" + std::to_string(centreX) + ",915," + std::to_string(width - 10) + ",270," +
                 std::to_string(upper + 20) + "\n";
    }
    return boxes;
}

// The UI time of a reply, in milliseconds: the analysis, the frame it asks
// for, and a hover into the first box with its repaint.
struct ReplyTimes {
    double analysis = 0;
    double frame = 0;
    double hover = 0;

    double Total() const { return analysis + frame + hover; }
};

ReplyTimes ReplyMs(FakeAnalysisServer& server, CToothStatic& chart, const std::string& boxes)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", boxes}, {"#@DISINFO@#", "11,c\n"}});
    server.SetScenario(scenario);
    const HWND window = chart.GetSafeHwnd();
    ReplyTimes times;
    times.analysis = BestMs(
        1, [] {}, [&] { chart.AnalyzeCurrentImage(); });
    times.frame = BestMs(
        1, [] {}, [&] { Redraw(window, ERASE); });
    const RECT box = chart.displayedTeeth.begin()->second.screenBox;
    times.hover = BestMs(
        1, [] {},
        [&] {
            SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(box.left + 3, box.top + 3));
            UpdateWindow(window);
            GdiFlush();
        });
    return times;
}

void LargeReplies(const std::wstring& folder)
{
    FakeAnalysisServer server(false);
    const std::wstring picture = folder + L"large-replies.bmp";
    charttest::ChartHost host(FULL_HD);
    CToothStatic& chart = host.chart;
    if (!server.Start(0) || !WritePicture(picture) || !host.created || !chart.SetImageFiles({picture})) {
        return;
    }
    charttest::UseFakeServer(chart, server.Port());
    Redraw(chart.GetSafeHwnd(), ERASE);
    // Twice, so that what the first analysis sets up once is not counted.
    ReplyMs(server, chart, NormalBoxes());
    const ReplyTimes normal = ReplyMs(server, chart, NormalBoxes());
    const size_t before = PeakWorkingSet();
    std::printf("replies of boxes of 30000x30000 in a 1920x1080 chart, beyond a normal analysis of 32 teeth\n");
    std::printf("  (targets: < 1000 ms, < 64 MB)          analysis    frame    hover\n");
    std::printf("  32 teeth       %8.1f ms              %8.1f %8.1f %8.1f\n", normal.Total(), normal.analysis,
                normal.frame, normal.hover);
    constexpr int MAX_BOXES = 30000; // near the largest reply a frame holds
    for (const int count : {1000, 4000, MAX_BOXES}) {
        const ReplyTimes times = ReplyMs(server, chart, LargeBoxes(count));
        const size_t after = PeakWorkingSet();
        std::printf("  %5d boxes +%8.1f ms, +%6.1f MB  %8.1f %8.1f %8.1f\n", count, times.Total() - normal.Total(),
                    static_cast<double>(after - before) / 1048576.0, times.analysis, times.frame, times.hover);
    }
    DeleteTempFiles();
    DeleteFileW(picture.c_str());
}

} // namespace

int wmain()
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WSADATA wsa{};
    WSAStartup(MAKEWORD(2, 2), &wsa);
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
            const double peer = PeerStretchMs(window, chart.image.get(), CHART_RECT, 5);
            ClientDC screen(window);
            UniqueMemoryDC peerDC = UniqueMemoryDC::CompatibleWith(screen.Get());
            UniqueBitmap peerBuffer(CreateCompatibleBitmap(screen.Get(), CHART_RECT.right, CHART_RECT.bottom));
            ObjectSelection peerSelected(peerDC.Get(), peerBuffer.Get());

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
        // The replies first: the peak memory they are measured by is the process's.
        LargeReplies(temp);
        FirstFrames(temp);
    }
    Gdiplus::GdiplusShutdown(token);
    WSACleanup();
    return result;
}
