// Screen capture under the test display: windows of known colours on the
// screen, captured to JPEG files and read back.
#include "ColourWindow.h"
#include "WinTestUtil.h"

#include "capture/HideWindowForCapture.h"
#include "capture/SCatpure.h"
#include "ui/Gdiplus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace capturetest;

class CaptureTest : public ::testing::Test {
protected:
    testutil::ScratchFolder folder;
};

TEST_F(CaptureTest, ARectangleBecomesAJpegOfItsSizeWithItsTopLeftCornerFirst)
{
    const ColourWindow red({900, 500, 1000, 600}, RED);
    const ColourWindow blue({1000, 500, 1100, 600}, BLUE);
    ASSERT_TRUE(red.OnScreen());
    ASSERT_TRUE(blue.OnScreen());
    const std::wstring path = folder.File(L"capture.jpg");
    const RECT rect{900, 500, 1100, 600};
    ASSERT_TRUE(CSCatpure().CaptureRectToFile(&rect, path.c_str()));
    ExpectImage(path, 200, 100, {{0, 0, RED}, {95, 50, RED}, {105, 50, BLUE}, {199, 99, BLUE}});
}

TEST_F(CaptureTest, ARectangleReachingPastTheVirtualScreenKeepsItsOnScreenPart)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const ColourWindow atRight({right - 50, 650, right, 750}, GREEN);
    const ColourWindow atLeft({left, 650, left + 50, 750}, BLUE);
    ASSERT_TRUE(atRight.OnScreen());
    ASSERT_TRUE(atLeft.OnScreen());
    const struct {
        const char* name;
        RECT rect;
        std::vector<Probe> probes;
    } cases[] = {
        {"past the right edge",
         {right - 50, 650, right + 50, 750},
         {{5, 5, GREEN}, {44, 94, GREEN}, {55, 5, BLACK}, {99, 99, BLACK}}},
        {"past the left edge",
         {left - 50, 650, left + 50, 750},
         {{0, 0, BLACK}, {44, 94, BLACK}, {55, 5, BLUE}, {99, 99, BLUE}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder.File(L"edge.jpg");
        ASSERT_TRUE(CSCatpure().CaptureRectToFile(&c.rect, path.c_str()));
        ExpectImage(path, 100, 100, c.probes);
    }
}

TEST_F(CaptureTest, AWindowHiddenOverTheRegionRightBeforeTheCaptureIsNotInThePicture)
{
    const ColourWindow under({900, 200, 1100, 300}, RED);
    const RECT region{900, 200, 1100, 300};
    const RECT clear{1200, 200, 1300, 300};
    const struct {
        const char* name;
        RECT toolbar;
        std::vector<Probe> probes;
    } cases[] = {
        {"over the region", {950, 220, 1050, 280}, {{100, 50, RED}, {60, 30, RED}}},
        {"beside the region", clear, {{100, 50, RED}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(under.OnScreen());
        ColourWindow toolbar(c.toolbar, BLUE);
        // On the screen first, or the picture could miss it anyway.
        ASSERT_TRUE(toolbar.OnScreen());
        HideWindowForCapture(toolbar.Handle(), region);
        EXPECT_FALSE(IsWindowVisible(toolbar.Handle()));
        const std::wstring path = folder.File(L"hidden.jpg");
        ASSERT_TRUE(CSCatpure().CaptureRectToFile(&region, path.c_str()));
        ExpectImage(path, 200, 100, c.probes);
    }
}

TEST_F(CaptureTest, ANullPathOrARectangleWithoutAreaGivesFalseAndNoFile)
{
    const std::wstring path = folder.File(L"none.jpg");
    const RECT good{0, 0, 10, 10};
    const RECT flat[] = {{10, 10, 10, 20}, {10, 10, 20, 10}, {20, 10, 10, 20}, {10, 20, 20, 10}};
    EXPECT_FALSE(CSCatpure().CaptureRectToFile(&good, nullptr));
    for (const RECT& rect : flat) {
        EXPECT_FALSE(CSCatpure().CaptureRectToFile(&rect, path.c_str()));
    }
    EXPECT_FALSE(testutil::FileExists(path));
}

TEST_F(CaptureTest, TheVirtualScreenIsCapturedIntoANewBitmapOnlyForAnEmptyHandle)
{
    HBITMAP taken = CreateBitmap(1, 1, 1, 1, nullptr);
    HBITMAP handle = taken;
    EXPECT_FALSE(CSCatpure().CaptureVirtualScreen(&handle));
    EXPECT_EQ(handle, taken);
    DeleteObject(taken);

    handle = nullptr;
    ASSERT_TRUE(CSCatpure().CaptureVirtualScreen(&handle));
    ASSERT_NE(handle, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(handle, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(info.bmHeight, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    DeleteObject(handle);
}

} // namespace
