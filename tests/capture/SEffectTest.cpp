// CSEffect over real GDI+ bitmaps: the lock, the order of the calls, and
// that the bitmap ends up holding what the kernels computed.
#include "capture/SEffect.h"

#include "capture/EffectKernels.h"

#include "BitmapTestFiles.h"

#include <gtest/gtest.h>

namespace {

using testimage::MakeBitmap;
using testimage::ReadPixels;

// True when nobody holds the bitmap's pixels locked.
bool IsFree(Gdiplus::Bitmap& bitmap)
{
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) != Gdiplus::Ok) {
        return false;
    }
    bitmap.UnlockBits(&data);
    return true;
}

TestImage Processed(TestImage image)
{
    EXPECT_TRUE(AutoLevelPixels(image.View(), 0.1, 0.01));
    EXPECT_TRUE(SharpenPixels(image.View(), 1.5f, 20.0f));
    return image;
}

TEST(SEffect, LeavesTheBitmapHoldingWhatTheKernelsComputed)
{
    // An odd width, so that GDI+ pads its rows.
    TestImage image = MakeStructuredImage(67, 45);
    auto bitmap = MakeBitmap(image);
    {
        CSEffect effect;
        ASSERT_TRUE(effect.Attach(bitmap.get()));
        ASSERT_TRUE(effect.LockBits());
        ASSERT_TRUE(effect.AutoLevel(0.1, 0.01));
        ASSERT_TRUE(effect.Sharpen(1.5f, 20.0f));
        effect.UnlockBits();
        effect.Detach();
    }
    EXPECT_EQ(ReadPixels(*bitmap).bytes, Processed(image).bytes);
}

TEST(SEffect, ConvertsABitmapOfAnotherFormatThroughTheLock)
{
    TestImage image = MakeStructuredImage(30, 20);
    auto source = MakeBitmap(image);
    Gdiplus::Bitmap bitmap(30, 20, PixelFormat32bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.DrawImage(source.get(), 0, 0, 30, 20);
    }
    TestImage before = ReadPixels(bitmap);
    CSEffect effect;
    ASSERT_TRUE(effect.Attach(&bitmap));
    ASSERT_TRUE(effect.LockBits());
    ASSERT_TRUE(effect.AutoLevel(0.1, 0.01));
    ASSERT_TRUE(effect.Sharpen(1.5f, 20.0f));
    effect.UnlockBits();
    EXPECT_EQ(ReadPixels(bitmap).bytes, Processed(before).bytes);
}

TEST(SEffect, DoesNothingBeforeTheLock)
{
    TestImage image = MakeStructuredImage(20, 20);
    auto bitmap = MakeBitmap(image);
    CSEffect effect;
    EXPECT_FALSE(effect.LockBits()) << "nothing attached";
    EXPECT_FALSE(effect.AutoLevel(0.1, 0.01));
    EXPECT_FALSE(effect.Sharpen(1.5f, 20.0f));
    ASSERT_TRUE(effect.Attach(bitmap.get()));
    EXPECT_FALSE(effect.AutoLevel(0.1, 0.01));
    EXPECT_FALSE(effect.Sharpen(1.5f, 20.0f));
    effect.UnlockBits();
    EXPECT_EQ(ReadPixels(*bitmap).bytes, image.bytes);
}

TEST(SEffect, LocksOnceAndUnlocksOnEveryWayOut)
{
    TestImage image = MakeStructuredImage(16, 16);
    auto bitmap = MakeBitmap(image);
    {
        CSEffect effect;
        ASSERT_TRUE(effect.Attach(bitmap.get()));
        ASSERT_TRUE(effect.LockBits());
        ASSERT_TRUE(effect.LockBits());
        effect.UnlockBits();
        EXPECT_TRUE(IsFree(*bitmap)) << "a second LockBits locked again";
        ASSERT_TRUE(effect.LockBits());
        EXPECT_FALSE(IsFree(*bitmap));
    }
    EXPECT_TRUE(IsFree(*bitmap)) << "the destructor left the bitmap locked";

    CSEffect effect;
    ASSERT_TRUE(effect.Attach(bitmap.get()));
    ASSERT_TRUE(effect.LockBits());
    effect.Detach();
    EXPECT_TRUE(IsFree(*bitmap));
    EXPECT_FALSE(effect.LockBits());
}

TEST(SEffect, AttachingNothingKeepsTheLockedBitmap)
{
    TestImage image = MakeStructuredImage(24, 18);
    auto bitmap = MakeBitmap(image);
    CSEffect effect;
    ASSERT_TRUE(effect.Attach(bitmap.get()));
    ASSERT_TRUE(effect.LockBits());
    EXPECT_FALSE(effect.Attach(nullptr));
    EXPECT_TRUE(effect.AutoLevel(0.1, 0.01));
    EXPECT_TRUE(effect.Sharpen(1.5f, 20.0f));
    effect.UnlockBits();
    EXPECT_EQ(ReadPixels(*bitmap).bytes, Processed(image).bytes);
}

TEST(SEffect, AttachingASecondBitmapHandsTheFirstBackProcessed)
{
    TestImage firstImage = MakeStructuredImage(24, 18);
    TestImage secondImage = MakeStructuredImage(10, 12);
    auto first = MakeBitmap(firstImage);
    auto second = MakeBitmap(secondImage);
    CSEffect effect;
    ASSERT_TRUE(effect.Attach(first.get()));
    ASSERT_TRUE(effect.LockBits());
    ASSERT_TRUE(effect.AutoLevel(0.1, 0.01));
    ASSERT_TRUE(effect.Attach(second.get()));
    EXPECT_FALSE(effect.AutoLevel(0.1, 0.01)) << "the new bitmap is not locked yet";
    ASSERT_TRUE(IsFree(*first));
    TestImage expected = firstImage;
    ASSERT_TRUE(AutoLevelPixels(expected.View(), 0.1, 0.01));
    EXPECT_EQ(ReadPixels(*first).bytes, expected.bytes);
    ASSERT_TRUE(effect.LockBits());
    EXPECT_FALSE(IsFree(*second));
}

TEST(SEffect, ABitmapThatDidNotLoadFailsAtTheLock)
{
    Gdiplus::Bitmap missing(L"C:\\no such folder\\no such file.jpg");
    CSEffect effect;
    ASSERT_TRUE(effect.Attach(&missing));
    EXPECT_FALSE(effect.LockBits());
    EXPECT_FALSE(effect.AutoLevel(0.1, 0.01));
}

} // namespace
