// The pixel work of the image effects, over 24-bit pixels in memory, in the
// integer fixed-point arithmetic the effects are defined by (weights over 256,
// amounts and scales over 1024, results clamped to 0..255).
#pragma once

#include "capture/EffectWorkspace.h"
#include "capture/PixelView.h"

// Stretches the luma so that the level reached by `lowFraction` of the pixels
// becomes 0 and the level reached by 1 - `highClipFraction` becomes 255, and
// moves the result by 140 minus the image's mean luma. False, with nothing
// changed, for an empty image or when both levels fall together.
bool AutoLevelPixels(const PixelView& pixels, double lowFraction, double highClipFraction);
// The same, in strips on the workspace's threads, with the same result.
bool AutoLevelPixels(const PixelView& pixels, double lowFraction, double highClipFraction, CEffectWorkspace& workspace);

// Unsharp mask: every byte moves away from its blurred value by `amount`
// times the difference. False, with nothing changed, when the blurred copy
// cannot be made or the amount is out of range.
bool SharpenPixels(const PixelView& pixels, float amount, float radius);
// The same, in strips on the workspace's threads and in its working memory,
// with the same result.
bool SharpenPixels(const PixelView& pixels, float amount, float radius, CEffectWorkspace& workspace);

// The unsharp step alone: p' = p + (((p - q) * k) >> 10), clamped, with q the
// byte at the same place in `blurred`, which has the same size.
void UnsharpPixels(const PixelView& pixels, const PixelView& blurred, int32_t k);
