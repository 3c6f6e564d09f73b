// What the chart leaves behind when its window goes: the pictures it
// captured and the copies it made for the server are deleted, also the one
// it still shows.
#include "ChartTestHost.h"
#include "WinTestUtil.h"

#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace charttest;

namespace {

// Opens each captured picture in the chart, as the main window does.
struct OpeningListener : CToothStaticListener {
    void OnToothChartEvent(int, int) override {}
    void OnOpenImage(const std::wstring& path) override
    {
        opened.push_back(path);
        chart->SetImageFiles({path});
    }
    CToothStatic* chart = nullptr;
    std::vector<std::wstring> opened;
};

TEST(ChartTempFilesTest, DestroyingTheChartDeletesItsCapturesAndGreyCopiesAndEmptiesTheList)
{
    DeleteTempFiles();
    const bool savedCaptureBar = g_systemSetting.captureBar;
    const RECT savedRegion = g_systemSetting.captureRect;
    g_systemSetting.captureBar = false;
    auto host = std::make_unique<ChartHost>(RECT{0, 0, 400, 300});
    ASSERT_TRUE(host->created);
    OpeningListener listener;
    listener.chart = &host->chart;
    host->chart.listener = &listener;

    // A grey picture goes to the server as a 24-bit copy.
    const std::string data = QUILL_CHART_TEST_DATA;
    ASSERT_TRUE(host->chart.SetImageFiles({std::wstring(data.begin(), data.end()) + L"\\grey.jpg"}));
    wchar_t greyCopy[TEMP_PATH_CAPACITY] = {};
    bool made = false;
    ASSERT_TRUE(host->chart.SaveTempJpeg(greyCopy, &made));
    ASSERT_TRUE(made);
    // Two captures; the chart goes on showing the second.
    g_systemSetting.captureRect = {0, 0, 120, 90};
    SendMessageW(host->chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0);
    SendMessageW(host->chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0);
    g_systemSetting.captureRect = savedRegion;
    g_systemSetting.captureBar = savedCaptureBar;
    ASSERT_EQ(listener.opened.size(), 2u);
    ASSERT_TRUE(host->chart.image);
    const std::vector<std::wstring> files = {greyCopy, listener.opened[0], listener.opened[1]};
    EXPECT_EQ(g_tempFiles, files);
    for (const std::wstring& file : files) {
        ASSERT_TRUE(testutil::FileExists(file));
    }

    // The window goes with the dialog that holds it, as when the program
    // ends; the chart object itself is still there.
    DestroyWindow(host->GetSafeHwnd());
    EXPECT_EQ(host->chart.GetSafeHwnd(), nullptr);
    for (const std::wstring& file : files) {
        EXPECT_FALSE(testutil::FileExists(file));
    }
    EXPECT_TRUE(g_tempFiles.empty());
    host.reset();
    DeleteTempFiles();
}

} // namespace
