// Our Gaussian-like blur for the unsharp mask; see Blur.cpp for the kernel.
#pragma once

#include "capture/PixelView.h"

#include <functional>

// The farthest a pixel may reach; the box arithmetic stays exact up to here.
constexpr uint32_t kMaxBlurReach = 381;

// Receives row `y` of the blurred image (width * 3 bytes), top to bottom.
using BlurredRowSink = std::function<void(uint32_t y, const uint8_t* row)>;

// Blurs along the rows of `source` into `scratch` (same size), then down the
// columns, handing each finished row to `sink`, which may write into
// `source` at and above that row. False when working memory cannot be had.
bool BlurPixelsByRow(const PixelView& source, const PixelView& scratch, float radius, const BlurredRowSink& sink);

// Blurs `source` into `target` (same width and height, separate memory),
// each output pixel drawing on the pixels up to `radius` pixels away in each
// direction, the edge pixels repeated beyond the border. False, with
// `target` unspecified, when working memory cannot be had.
bool BlurPixels(const PixelView& source, const PixelView& target, float radius);
