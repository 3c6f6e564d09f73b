// The resize of a 24-bit picture to the chart, natively and under Wine:
// block means where it shrinks, the two nearest pixels where it grows.
#include "chart/AreaShrink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A picture of `width` x `height` pixels 0xRRGGBB, stored blue, green, red
// with `padding` bytes after each row.
struct Picture {
    Picture(int32_t width, int32_t height, const std::vector<uint32_t>& colours, int32_t padding = 0)
        : width(width), height(height), stride(width * 3 + padding), bytes(static_cast<size_t>(stride) * height, 0xEE)
    {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t colour = colours[static_cast<size_t>(y) * width + x];
                uint8_t* pixel = &bytes[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
                pixel[0] = colour & 0xFF;
                pixel[1] = (colour >> 8) & 0xFF;
                pixel[2] = (colour >> 16) & 0xFF;
            }
        }
    }

    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<uint8_t> bytes;
};

TEST(AreaShrink, EachTargetPixelIsTheRoundedMeanOfItsBlockOrBetweenTheTwoNearestPixels)
{
    const struct {
        const char* name;
        Picture picture;
        int32_t width, height;
        std::vector<uint32_t> expected;
    } cases[] = {
        {"one colour", Picture(5, 3, std::vector<uint32_t>(15, 0x4080C0)), 2, 2, std::vector<uint32_t>(4, 0x4080C0)},
        {"halves",
         Picture(4, 2, {0x000000, 0x020406, 0xFF0000, 0xFF0000, 0x000000, 0x020406, 0xFF0000, 0xFF0000}),
         2,
         1,
         {0x010203, 0xFF0000}},
        // Three columns into two: blocks of one and of two columns.
        {"uneven blocks", Picture(3, 1, {0x000010, 0x000020, 0x000041}), 2, 1, {0x000010, 0x000031}},
        {"rows", Picture(1, 4, {0x100000, 0x300000, 0x000000, 0x000001}), 1, 2, {0x200000, 0x000001}},
        {"same size", Picture(2, 1, {0x123456, 0x654321}), 2, 1, {0x123456, 0x654321}},
        {"row padding is skipped", Picture(2, 2, {0x0A0A0A, 0x0A0A0A, 0x0A0A0A, 0x0A0A0A}, 3), 1, 1, {0x0A0A0A}},
        // Growing, target centres at source -0.25, 0.25, 0.75 and 1.25:
        // the ends keep the edge pixels, the rest a quarter or three of the
        // way between.
        {"grows", Picture(2, 1, {0x000000, 0x0000FF}), 4, 1, {0x000000, 0x000040, 0x0000BF, 0x0000FF}},
        {"grows down", Picture(1, 2, {0xFF0000, 0x000000}), 1, 4, {0xFF0000, 0xBF0000, 0x400000, 0x000000}},
        {"one pixel fills all", Picture(1, 1, {0x123456}), 3, 2, std::vector<uint32_t>(6, 0x123456)},
        {"narrower and taller", Picture(2, 1, {0x100000, 0x300000}), 1, 2, {0x200000, 0x200000}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> target(c.expected.size(), 0xDEADBEEF);
        ASSERT_TRUE(ResizePicture(c.picture.bytes.data(), c.picture.width, c.picture.height, c.picture.stride,
                                  target.data(), c.width, c.height))
            << c.name;
        EXPECT_EQ(target, c.expected) << c.name;
    }
}

TEST(AreaShrink, AnEmptySizeOrABlockTooLargeToSumIsRefusedUntouched)
{
    const Picture picture(4, 4, std::vector<uint32_t>(16, 0x808080));
    // Beyond 65793 columns into one, with the rows growing, the sums of a
    // block no longer fit 32 bits.
    const Picture line(65794, 1, std::vector<uint32_t>(65794, 0xFFFFFF));
    const struct {
        const Picture& source;
        int32_t sourceWidth, width, height;
    } cases[] = {{picture, 4, 0, 2}, {picture, 4, 2, 0},  {picture, 4, -1, 2},
                 {picture, 0, 2, 2}, {picture, -4, 2, 2}, {line, 65794, 1, 2}};
    for (const auto& c : cases) {
        std::vector<uint32_t> target(32, 0xDEADBEEF);
        EXPECT_FALSE(ResizePicture(c.source.bytes.data(), c.sourceWidth, c.source.height, c.source.stride,
                                   target.data(), c.width, c.height))
            << c.sourceWidth << " to " << c.width << "x" << c.height;
        EXPECT_EQ(target, std::vector<uint32_t>(32, 0xDEADBEEF));
    }
    uint32_t target = 0;
    EXPECT_FALSE(ResizePicture(nullptr, 4, 4, picture.stride, &target, 1, 1));
    EXPECT_FALSE(ResizePicture(picture.bytes.data(), 4, 4, picture.stride, nullptr, 1, 1));
}

} // namespace
