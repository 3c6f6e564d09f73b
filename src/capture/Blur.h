// Our Gaussian-like blur for the unsharp mask; see Blur.cpp for the kernel.
#pragma once

#include "capture/PixelView.h"

// The farthest a pixel may reach; the box arithmetic stays exact up to here.
constexpr uint32_t kMaxBlurReach = 381;

// Blurs `source` into `target` (same width and height, separate memory),
// each output pixel drawing on the pixels up to `radius` pixels away in each
// direction, the edge pixels repeated beyond the border. False, with
// `target` unspecified, when working memory cannot be had.
bool BlurPixels(const PixelView& source, const PixelView& target, float radius);
