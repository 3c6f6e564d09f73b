// The blur against a plain reference of the same three boxes per axis, its
// shape on an impulse, and a checksum that both builds must reproduce.
#include "capture/Blur.h"
#include "capture/EffectKernels.h"

#include "PixelTestImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kRadius = 20.0f;

// One box along x (alongRows) or y, summing every tap directly. The blur runs
// the boxes along the rows first, then down the columns.
TestImage ReferenceBox(TestImage& in, uint32_t radius, bool alongRows)
{
    TestImage out(in.width, in.height);
    const uint32_t width = 2 * radius + 1;
    for (uint32_t y = 0; y < in.height; ++y) {
        for (uint32_t x = 0; x < in.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (int64_t t = -static_cast<int64_t>(radius); t <= static_cast<int64_t>(radius); ++t) {
                    const int64_t limit = alongRows ? in.width - 1 : in.height - 1;
                    const int64_t at = std::clamp<int64_t>((alongRows ? x : y) + t, 0, limit);
                    sum += alongRows ? in.At(static_cast<uint32_t>(at), y)[c] : in.At(x, static_cast<uint32_t>(at))[c];
                }
                out.At(x, y)[c] = static_cast<uint8_t>((sum + width / 2) / width);
            }
        }
    }
    return out;
}

TestImage ReferenceBlur(TestImage image, std::initializer_list<uint32_t> boxRadii = {7, 7, 6})
{
    for (const bool alongRows : {true, false}) {
        for (const uint32_t radius : boxRadii) {
            image = ReferenceBox(image, radius, alongRows);
        }
    }
    return image;
}

TestImage Blurred(TestImage& image, float radius = kRadius)
{
    TestImage out(image.width, image.height);
    EXPECT_TRUE(BlurPixels(image.View(), out.View(), radius));
    return out;
}

TEST(Blur, MatchesThePlainReferenceAtEverySize)
{
    // Smaller than the reach, one pixel wide or high, and taller than the
    // bands the rows are blurred in.
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {5, 3}, {1, 57}, {57, 1}, {64, 48}, {30, 150}, {41, 41}};
    for (const auto& [width, height] : sizes) {
        TestImage image = MakeStructuredImage(width, height);
        TestImage expected = ReferenceBlur(image);
        TestImage actual = Blurred(image);
        EXPECT_EQ(actual.bytes, expected.bytes) << width << "x" << height;
    }
}

TEST(Blur, SplitsOtherReachesOverTheThreeBoxes)
{
    struct Case {
        float radius;
        std::initializer_list<uint32_t> boxes;
    };
    const Case cases[] = {
        {1.0f, {1, 0, 0}}, {2.0f, {1, 1, 0}}, {3.0f, {1, 1, 1}}, {22.0f, {8, 7, 7}}, {61.0f, {21, 20, 20}}};
    for (const Case& c : cases) {
        TestImage image = MakeStructuredImage(47, 29);
        EXPECT_EQ(Blurred(image, c.radius).bytes, ReferenceBlur(image, c.boxes).bytes) << c.radius;
    }
}

TEST(Blur, KeepsAConstantImageConstant)
{
    for (const uint8_t value : {0, 1, 128, 254, 255}) {
        TestImage image(37, 23);
        image.Fill(value);
        EXPECT_EQ(Blurred(image).bytes, image.bytes) << int(value);
    }
}

TEST(Blur, SpreadsAnImpulseSymmetricallyAndKeepsItsWeight)
{
    // A one-pixel-high image: the row passes alone spread the impulse.
    TestImage row(81, 1);
    row.SetGrey(40, 0, 255);
    TestImage rowOut = Blurred(row);
    uint32_t sum = 0;
    for (uint32_t x = 0; x < 81; ++x) {
        EXPECT_EQ(rowOut.At(x, 0)[0], rowOut.At(80 - x, 0)[0]) << x;
        sum += rowOut.At(x, 0)[0];
        if (x < 20 || x > 60) {
            EXPECT_EQ(rowOut.At(x, 0)[0], 0) << "beyond the reach at " << x;
        }
    }
    EXPECT_NEAR(sum, 255, 20);

    // A bright square in two dimensions: mirror symmetric on both axes, total
    // weight kept within the rounding of each pass.
    TestImage square(61, 61);
    for (uint32_t y = 28; y <= 32; ++y) {
        for (uint32_t x = 28; x <= 32; ++x) {
            square.SetGrey(x, y, 255);
        }
    }
    TestImage out = Blurred(square);
    uint64_t total = 0;
    for (uint32_t y = 0; y < 61; ++y) {
        for (uint32_t x = 0; x < 61; ++x) {
            const uint8_t value = out.At(x, y)[1];
            ASSERT_EQ(value, out.At(60 - x, y)[1]);
            ASSERT_EQ(value, out.At(x, 60 - y)[1]);
            total += value;
        }
    }
    EXPECT_NEAR(static_cast<double>(total), 25.0 * 255, 25.0 * 255 * 0.05);
}

TEST(Blur, ARadiusOfZeroCopiesAndAHugeOneIsBounded)
{
    TestImage image = MakeStructuredImage(20, 10);
    EXPECT_EQ(Blurred(image, 0.0f).bytes, image.bytes);
    EXPECT_EQ(Blurred(image, -3.0f).bytes, image.bytes);
    TestImage wide = MakeStructuredImage(30, 4);
    const std::vector<uint8_t> widest = Blurred(wide, static_cast<float>(kMaxBlurReach)).bytes;
    for (const float huge : {1e9f, 1e30f, INFINITY}) {
        EXPECT_EQ(Blurred(wide, huge).bytes, huge == INFINITY ? wide.bytes : widest) << huge;
    }
}

// Both builds run this test: the same bytes in, the same bytes out.
TEST(Effects, GiveTheSameChecksumInEveryBuild)
{
    TestImage image = MakeStructuredImage(301, 157);
    ASSERT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    ASSERT_TRUE(SharpenPixels(image.View(), 1.5f, 20.0f));
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t byte : image.bytes) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    EXPECT_EQ(hash, 14547856999987566613ull);
}

} // namespace
