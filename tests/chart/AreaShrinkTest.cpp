// The block-average shrink of a 24-bit picture, natively and under Wine.
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

TEST(AreaShrink, EachTargetPixelIsTheRoundedMeanOfTheBlockItCovers)
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
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> target(c.expected.size(), 0xDEADBEEF);
        ASSERT_TRUE(ShrinkByAreaAverage(c.picture.bytes.data(), c.picture.width, c.picture.height, c.picture.stride,
                                        target.data(), c.width, c.height))
            << c.name;
        EXPECT_EQ(target, c.expected) << c.name;
    }
}

TEST(AreaShrink, ATargetLargerThanThePictureOrEmptyIsRefusedUntouched)
{
    const Picture picture(4, 4, std::vector<uint32_t>(16, 0x808080));
    const struct {
        int32_t width, height;
    } cases[] = {{5, 4}, {4, 5}, {0, 2}, {2, 0}, {-1, 2}};
    for (const auto& c : cases) {
        std::vector<uint32_t> target(32, 0xDEADBEEF);
        EXPECT_FALSE(ShrinkByAreaAverage(picture.bytes.data(), 4, 4, picture.stride, target.data(), c.width, c.height))
            << c.width << "x" << c.height;
        EXPECT_EQ(target, std::vector<uint32_t>(32, 0xDEADBEEF));
    }
    uint32_t target = 0;
    EXPECT_FALSE(ShrinkByAreaAverage(nullptr, 4, 4, picture.stride, &target, 1, 1));
    EXPECT_FALSE(ShrinkByAreaAverage(picture.bytes.data(), 4, 4, picture.stride, nullptr, 1, 1));
}

} // namespace
