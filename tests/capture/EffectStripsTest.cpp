// The effects split into strips over helper threads against the same effects
// on the caller's thread alone: the same bytes at every size, and the strip
// runner's own promises.
#include "capture/EffectKernels.h"
#include "capture/StripRunner.h"

#include "PixelTestImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

struct Size {
    uint32_t width;
    uint32_t height;
    uint32_t padding;
};

// Rows of a few bytes to several column strips, heights below, at and across
// the blur's bands and the row strips, rows with unused bytes at their end.
constexpr Size kSizes[] = {{1, 1, 0},     {2, 700, 1},   {341, 65, 3}, {343, 129, 0},
                           {1025, 33, 2}, {1701, 97, 1}, {700, 1, 0},  {3001, 17, 3}};

TestImage Processed(TestImage image, CEffectWorkspace* workspace)
{
    const PixelView view = image.View();
    const bool levelled =
        workspace != nullptr ? AutoLevelPixels(view, 0.1, 0.01, *workspace) : AutoLevelPixels(view, 0.1, 0.01);
    const bool sharpened =
        workspace != nullptr ? SharpenPixels(view, 1.5f, 20.0f, *workspace) : SharpenPixels(view, 1.5f, 20.0f);
    EXPECT_EQ(levelled, image.width * image.height > 1);
    EXPECT_TRUE(sharpened);
    return image;
}

TEST(EffectStrips, GiveTheBytesOfTheCallerAloneWithAnyNumberOfHelpers)
{
    for (const unsigned helpers : {1u, 2u, 3u, 7u}) {
        // One workspace for every size, as a batch keeps it from file to file:
        // its working memory grows and shrinks in use between images.
        CEffectWorkspace workspace(helpers);
        for (const Size& size : kSizes) {
            TestImage image = MakeStructuredImage(size.width, size.height);
            TestImage padded(size.width, size.height, size.padding);
            for (uint32_t y = 0; y < size.height; ++y) {
                std::copy(image.At(0, y), image.At(0, y) + size.width * 3, padded.At(0, y));
            }
            const TestImage alone = Processed(padded, nullptr);
            const TestImage inStrips = Processed(padded, &workspace);
            EXPECT_TRUE(alone.bytes == inStrips.bytes)
                << size.width << "x" << size.height << " with " << helpers << " helpers";
        }
    }
}

TEST(StripRunner, RunsEveryStripOnceOnASlotOfItsOwn)
{
    for (const unsigned helpers : {0u, 1u, 5u}) {
        CStripRunner runner(helpers);
        ASSERT_EQ(runner.Threads(), helpers + 1);
        for (const size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{40}}) {
            std::vector<std::atomic<int>> runs(count);
            std::vector<std::atomic<int>> busy(runner.Threads());
            std::atomic<bool> shared{false};
            runner.Run(count, [&](size_t index, size_t slot) {
                if (busy[slot].fetch_add(1) != 0) {
                    shared = true;
                }
                ++runs[index];
                --busy[slot];
            });
            for (size_t i = 0; i < count; ++i) {
                EXPECT_EQ(runs[i].load(), 1) << "strip " << i << " of " << count;
            }
            EXPECT_FALSE(shared);
        }
    }
}

TEST(StripRunner, ThrowsWhatAStripThrewOnceTheOthersHaveEnded)
{
    CStripRunner runner(3);
    std::atomic<int> running{0};
    std::atomic<int> stillRunningAtThrow{-1};
    try {
        runner.Run(8, [&](size_t index, size_t) {
            ++running;
            if (index == 2) {
                --running;
                throw std::runtime_error("strip 2");
            }
            --running;
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& error) {
        stillRunningAtThrow = running.load();
        EXPECT_STREQ(error.what(), "strip 2");
    }
    EXPECT_EQ(stillRunningAtThrow.load(), 0);
    // The runner serves the next step as before.
    std::atomic<int> runs{0};
    runner.Run(5, [&](size_t, size_t) { ++runs; });
    EXPECT_EQ(runs.load(), 5);
}

} // namespace
