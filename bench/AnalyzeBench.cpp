// The chart's analysis road under Wine, with the fake analysis server
// answering at once with 32 teeth: AnalyzeCurrentImage for a 3000 x 1500
// 24-bit JPEG and for the same picture as 8-bit grey (which needs the 24-bit
// copy), beside its parts (the copy, the upload alone, the reply parsing, the
// layout, the findings text, the clipboard), and the hover: a WM_MOUSEMOVE
// into a new box up to the end of the repaint.
//   analyze_bench write COLOUR.jpg        writes the 24-bit picture
//   analyze_bench run COLOUR.jpg GREY.jpg  measures (analyze-bench.sh runs both)
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "PanoramicBitmap.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "analysis/ToothDetect.h"
#include "analysis/ToothInfoLoader.h"
#include "chart/FindingsText.h"
#include "chart/RecordTemplate.h"
#include "foundation/JpegFile.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t IMAGE_WIDTH = 3000;
constexpr uint32_t IMAGE_HEIGHT = 1500;
constexpr RECT CHART_RECT = {0, 0, 1600, 900};
constexpr int ROUNDS = 15;
constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]B:[%bbb%] C:[%ccc%] M:[%mmm%] F:[%fff%] P:[%ppp%][%BODY_END%]"
                                 "[%NONE_BGN%]-[%NONE_END%][%PERI_MILD_BGN%]mild[%PERI_MILD_END%]";

// Mean of `rounds` timings of `work`, in milliseconds; `prepare` runs untimed first.
template <typename Prepare, typename Work> double MeanMs(int rounds, Prepare prepare, Work work)
{
    double total = 0;
    for (int i = 0; i < rounds; ++i) {
        total += BestMs(1, prepare, work);
    }
    return total / rounds;
}

bool WritePicture(const std::wstring& path)
{
    const auto bitmap = ToBitmap(PanoramicImage(IMAGE_WIDTH, IMAGE_HEIGHT));
    return SaveImageAsJpeg(bitmap.get(), path.c_str());
}

// 32 teeth in two rows, with a few findings each.
void ReplyTexts(std::string* boxes, std::string* findings)
{
    const char* codes[] = {"c", "f", "bc", "m", "p", "fe", "c", "r"};
    const int32_t width = static_cast<int32_t>(IMAGE_WIDTH) / 20;
    for (int32_t i = 0; i < 16; ++i) {
        const int32_t centreX = width * 2 + i * width + width / 2;
        const int32_t upper = i < 8 ? 18 - i : 21 + (i - 8);
        for (const int32_t tooth : {upper, upper + 20}) {
            const int32_t centreY = tooth == upper ? 585 : 915;
            *boxes += std::to_string(centreX) + "," + std::to_string(centreY) + "," + std::to_string(width - 10) +
                      ",270," + std::to_string(tooth) + "\n";
            *findings += std::to_string(tooth) + "," + codes[tooth % 8] + "\n";
        }
    }
}

std::string Narrow(const std::wstring& path)
{
    return std::string(path.begin(), path.end());
}

struct ImageTimes {
    double analysis = 0;
    double copy = 0;
    double upload = 0;
    double decode = 0;
    double encode = 0;
};

ImageTimes Measure(CToothStatic& chart, const std::wstring& file, const std::string& mac, unsigned short port)
{
    ImageTimes times;
    chart.SetImageFiles({file});
    times.analysis = BestMs(
        ROUNDS, [] { DeleteTempFiles(); }, [&] { chart.AnalyzeCurrentImage(); });
    wchar_t copyPath[TEMP_PATH_CAPACITY] = {};
    bool made = false;
    times.copy = BestMs(
        ROUNDS, [] { DeleteTempFiles(); }, [&] { chart.SaveTempJpeg(copyPath, &made); });
    // What is uploaded: the file itself, or the 24-bit copy.
    const std::wstring uploaded = made ? std::wstring(copyPath) : file;
    times.upload = BestMs(
        ROUNDS, [] {},
        [&] {
            CToothDetect detect;
            detect.SetServer("127.0.0.1", port);
            bool accepted = false;
            std::string pos;
            std::string dis;
            detect.Detect("{00000000-0000-0000-0000-000000000000}", mac, Narrow(uploaded), "", &accepted, &pos, &dis);
        });
    GdiplusPtr<Gdiplus::Bitmap> decoded;
    times.decode = BestMs(
        ROUNDS, [&] { decoded.reset(); },
        [&] {
            decoded = MakeGdiplus<Gdiplus::Bitmap>(file.c_str(), FALSE);
            decoded->GetPixelFormat();
        });
    GdiplusPtr<Gdiplus::Bitmap> colour(decoded->Clone(0, 0, IMAGE_WIDTH, IMAGE_HEIGHT, PixelFormat24bppRGB));
    const std::wstring encoded = file + L".encoded.jpg";
    times.encode = BestMs(
        ROUNDS, [] {}, [&] { SaveImageAsJpeg(colour.get(), encoded.c_str()); });
    DeleteFileW(encoded.c_str());
    DeleteTempFiles();
    return times;
}

void Print(const char* name, const ImageTimes& t)
{
    std::printf("%s\n", name);
    std::printf("  AnalyzeCurrentImage        %8.2f ms\n", t.analysis);
    std::printf("  the upload alone (Detect)  %8.2f ms\n", t.upload);
    std::printf("  added by the chart         %8.2f ms\n", t.analysis - t.upload);
    std::printf("  24-bit copy (SaveTempJpeg) %8.2f ms\n", t.copy);
    std::printf("  one decode + one encode    %8.2f ms (%.2f + %.2f)\n", t.decode + t.encode, t.decode, t.encode);
}

int Run(const std::wstring& colourFile, const std::wstring& greyFile)
{
    FakeAnalysisServer server(false);
    if (!server.Start(0)) {
        return 1;
    }
    std::string boxes;
    std::string findings;
    ReplyTexts(&boxes, &findings);
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", boxes}, {"#@DISINFO@#", findings}});
    server.SetScenario(scenario);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"quill-analyze-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Record").c_str(), nullptr);
    {
        FILE* file = _wfopen((folder + L"\\Record\\User.tpl").c_str(), L"wb");
        std::fputs(USER_TEMPLATE, file);
        std::fclose(file);
    }
    SetCurrentDirectoryW(folder.c_str());

    charttest::ChartHost host(CHART_RECT);
    CToothStatic& chart = host.chart;
    if (!host.created) {
        return 1;
    }
    chart.serverHost = "127.0.0.1";
    chart.serverPort = server.Port();
    chart.adapterTable = testutil::OneAdapterTable;
    std::string mac;
    g_macAddressUtil.MacAddressString(testutil::OneAdapterTable, &mac);

    const ImageTimes colour = Measure(chart, colourFile, mac, server.Port());
    const ImageTimes grey = Measure(chart, greyFile, mac, server.Port());

    // The parts after the reply, on the reply of the last analysis.
    ToothInfoMap parsed;
    const double parse = BestMs(
        ROUNDS, [] {}, [&] { ReadAnalysisReply(parsed, boxes.c_str(), findings.c_str(), false); });
    const RECT client = CHART_RECT;
    const double layout = BestMs(
        ROUNDS, [] {}, [&] { chart.UpdateLayout(&client); });
    CRecordTemplateInfo recordTemplate;
    LoadUserTemplate(&recordTemplate);
    std::wstring text;
    const double findingsText = BestMs(
        ROUNDS, [] {}, [&] { text = BuildFindingsText(chart.displayedTeeth, recordTemplate, false); });
    const double clipboard = BestMs(
        ROUNDS, [] {}, [&] { chart.CopyTextToClipboard(text); });

    // The hover: into the box of the next tooth, then the repaint, once the
    // window has been idle after the analysis.
    HWND window = chart.GetSafeHwnd();
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&msg);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    std::vector<POINT> centres;
    for (const auto& entry : chart.displayedTeeth) {
        const RECT& box = entry.second.screenBox;
        centres.push_back({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
    }
    size_t next = 0;
    auto moveToNext = [&] {
        const POINT p = centres[next++ % centres.size()];
        SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        UpdateWindow(window);
        GdiFlush();
    };
    // The first time a tooth is hovered its hover drawing is made; after
    // that it is reused.
    const double firstHover = MeanMs(
        static_cast<int>(centres.size()), [] {}, moveToNext);
    const double laterHover = MeanMs(
        static_cast<int>(centres.size()) * 4, [] {}, moveToNext);
    const double paintOnly = BestMs(
        ROUNDS, [] {},
        [&] {
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            GdiFlush();
        });

    std::printf("image %ux%u, chart 1600x900, %zu teeth in the reply (best of %d)\n", IMAGE_WIDTH, IMAGE_HEIGHT,
                chart.displayedTeeth.size(), ROUNDS);
    Print("24-bit JPEG (target: adds < 10 ms to the upload)", colour);
    Print("8-bit grey JPEG (target: the copy costs no more than one decode and one encode)", grey);
    std::printf("reply parsing              %8.3f ms\n", parse);
    std::printf("layout                     %8.3f ms\n", layout);
    std::printf("findings text              %8.3f ms\n", findingsText);
    std::printf("clipboard                  %8.3f ms\n", clipboard);
    std::printf("hover, move into a new box to the end of the repaint (target < 2 ms):\n");
    std::printf("  a tooth's first hover      %8.3f ms (mean)\n", firstHover);
    std::printf("  a tooth hovered before     %8.3f ms (mean)\n", laterHover);
    std::printf("  peer: the paint alone      %8.3f ms\n", paintOnly);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WSADATA wsa{};
    WSAStartup(MAKEWORD(2, 2), &wsa);
    CoInitialize(nullptr);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int result = 2;
    if (argc == 3 && std::wstring(argv[1]) == L"write") {
        result = WritePicture(argv[2]) ? 0 : 1;
    } else if (argc == 4 && std::wstring(argv[1]) == L"run") {
        result = Run(argv[2], argv[3]);
    }
    Gdiplus::GdiplusShutdown(token);
    WSACleanup();
    return result;
}
