// The level stretch and the unsharp step on known pixels, byte for byte.
#include "capture/EffectKernels.h"

#include "PixelTestImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// 100 grey pixels in one row, `count` of each `level`, in the order given.
TestImage GreyRow(std::initializer_list<std::pair<int, uint8_t>> runs)
{
    TestImage image(100, 1);
    uint32_t x = 0;
    for (const auto& [count, level] : runs) {
        for (int i = 0; i < count; ++i) {
            image.SetGrey(x++, 0, level);
        }
    }
    return image;
}

uint8_t GreyAt(TestImage& image, uint32_t x)
{
    const uint8_t* p = image.At(x, 0);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    return p[0];
}

TEST(AutoLevel, StretchesTheWorkedExampleExactly)
{
    TestImage image = GreyRow({{5, 10}, {10, 40}, {83, 100}, {2, 250}});
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    EXPECT_EQ(GreyAt(image, 0), 11);
    EXPECT_EQ(GreyAt(image, 5), 48);
    EXPECT_EQ(GreyAt(image, 15), 120);
    EXPECT_EQ(GreyAt(image, 99), 255);
}

TEST(AutoLevel, MovesAColouredPixelThroughTheColourDifferences)
{
    TestImage image = GreyRow({{5, 10}, {10, 40}, {83, 100}, {2, 250}});
    uint8_t* colour = image.At(15, 0);
    colour[0] = 60;
    colour[1] = 120;
    colour[2] = 200;
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    EXPECT_EQ(colour[0], 86);
    EXPECT_EQ(colour[1], 147);
    EXPECT_EQ(colour[2], 227);
    EXPECT_EQ(GreyAt(image, 16), 120);
}

TEST(AutoLevel, ACountEqualToAThresholdReachesIt)
{
    // 10 % exactly at level 20 and 99 % exactly at level 100.
    TestImage image = GreyRow({{10, 20}, {89, 100}, {1, 200}});
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    EXPECT_EQ(GreyAt(image, 0), 47);
    EXPECT_EQ(GreyAt(image, 10), 255);
    EXPECT_EQ(GreyAt(image, 99), 255);
}

TEST(AutoLevel, BlackPixelsGiveTheLowLevelOne)
{
    TestImage image = GreyRow({{10, 0}, {89, 100}, {1, 200}});
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    // scale 2637, base 2637, mean 91: level 0 gives (-2637 >> 10) + 49.
    EXPECT_EQ(GreyAt(image, 0), 46);
    EXPECT_EQ(GreyAt(image, 10), 255);
}

TEST(AutoLevel, LeavesImagesWithoutASpanAlone)
{
    struct Case {
        const char* what;
        TestImage image;
    };
    Case cases[] = {
        {"one colour", GreyRow({{100, 77}})},
        {"from below 10 % to 99 % at one level", GreyRow({{9, 0}, {90, 1}, {1, 255}})},
    };
    for (Case& c : cases) {
        const std::vector<uint8_t> before = c.image.bytes;
        EXPECT_FALSE(AutoLevelPixels(c.image.View(), 0.1, 0.01)) << c.what;
        EXPECT_EQ(c.image.bytes, before) << c.what;
    }
    TestImage empty(0, 0);
    EXPECT_FALSE(AutoLevelPixels(empty.View(), 0.1, 0.01));
}

TEST(AutoLevel, FractionsThatNeverMeetChangeNothing)
{
    TestImage image = GreyRow({{50, 10}, {50, 200}});
    const std::vector<uint8_t> before = image.bytes;
    EXPECT_FALSE(AutoLevelPixels(image.View(), 0.1, -0.5));
    EXPECT_FALSE(AutoLevelPixels(image.View(), 0.9, 0.5));
    EXPECT_EQ(image.bytes, before);
}

TEST(Unsharp, MovesBytesAwayFromTheirBlurredValue)
{
    const std::tuple<uint8_t, uint8_t, uint8_t> cases[] = {
        {100, 97, 104}, {97, 100, 92}, {250, 200, 255}, {5, 60, 0}, {77, 77, 77}, {0, 0, 0}, {255, 255, 255},
    };
    for (const auto& [byte, blurredByte, expected] : cases) {
        TestImage image(1, 1);
        TestImage blurred(1, 1);
        image.SetGrey(0, 0, byte);
        blurred.SetGrey(0, 0, blurredByte);
        UnsharpPixels(image.View(), blurred.View(), 1536);
        EXPECT_EQ(image.At(0, 0)[1], expected) << int(byte) << " against " << int(blurredByte);
    }
}

TEST(Effects, AGreyImageStaysGrey)
{
    TestImage image(70, 40);
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            image.SetGrey(x, y, static_cast<uint8_t>((x * 3 + y * 5) % 256));
        }
    }
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(image.View(), 1.5f, 20.0f));
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
        }
    }
}

TEST(Effects, NeverTouchTheBytesBetweenRows)
{
    TestImage padded = MakeStructuredImage(45, 30);
    TestImage withGap(45, 30, 7);
    std::fill(withGap.bytes.begin(), withGap.bytes.end(), 0xAB);
    for (uint32_t y = 0; y < 30; ++y) {
        std::copy_n(padded.At(0, y), 45 * 3, withGap.At(0, y));
    }
    ASSERT_TRUE(AutoLevelPixels(withGap.View(), 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(withGap.View(), 1.5f, 20.0f));
    ASSERT_TRUE(AutoLevelPixels(padded.View(), 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(padded.View(), 1.5f, 20.0f));
    for (uint32_t y = 0; y < 30; ++y) {
        EXPECT_TRUE(std::equal(padded.At(0, y), padded.At(0, y) + 45 * 3, withGap.At(0, y))) << y;
        EXPECT_TRUE(std::all_of(withGap.At(45, y), withGap.At(45, y) + 7, [](uint8_t b) { return b == 0xAB; }));
    }
}

TEST(Effects, ABottomUpStrideGivesTheSamePicture)
{
    TestImage topDown = MakeStructuredImage(33, 27);
    TestImage bottomUp(33, 27);
    for (uint32_t y = 0; y < 27; ++y) {
        std::copy_n(topDown.At(0, y), 33 * 3, bottomUp.At(0, 26 - y));
    }
    PixelView flipped{bottomUp.At(0, 26), 33, 27, -static_cast<ptrdiff_t>(bottomUp.stride)};
    ASSERT_TRUE(AutoLevelPixels(topDown.View(), 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(topDown.View(), 1.5f, 20.0f));
    ASSERT_TRUE(AutoLevelPixels(flipped, 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(flipped, 1.5f, 20.0f));
    for (uint32_t y = 0; y < 27; ++y) {
        EXPECT_TRUE(std::equal(topDown.At(0, y), topDown.At(0, y) + 33 * 3, bottomUp.At(0, 26 - y))) << y;
    }
}

TEST(Sharpen, RefusesAnAmountThatWouldOverflow)
{
    TestImage image = MakeStructuredImage(8, 8);
    const std::vector<uint8_t> before = image.bytes;
    EXPECT_FALSE(SharpenPixels(image.View(), 1e30f, 20.0f));
    EXPECT_EQ(image.bytes, before);
}

} // namespace
