// Our Gaussian-like blur for the unsharp mask; see Blur.cpp for the kernel.
#pragma once

#include "capture/PixelView.h"
#include "capture/StripRunner.h"

#include <functional>

// The farthest a pixel may reach; the box arithmetic stays exact up to here.
constexpr uint32_t kMaxBlurReach = 381;

// Receives bytes `offset` to `offset + count` of row `y` of the blurred
// image. Each part of a row arrives once, the rows of a part top to bottom;
// with helper threads, parts arrive on several threads at once.
using BlurredSpanSink = std::function<void(uint32_t y, size_t offset, size_t count, const uint8_t* bytes)>;

// Blurs along the rows of `source` into `scratch` (same size), then down the
// columns, handing the finished parts of rows to `sink`, which may write
// into `source` where a part it was given lies. The work is split into strips
// for `runner`; every byte comes out the same however many threads run it.
// False when working memory cannot be had.
bool BlurPixelsInStrips(const PixelView& source, const PixelView& scratch, float radius, CStripRunner& runner,
                        const BlurredSpanSink& sink);

// Blurs `source` into `target` (same width and height, separate memory),
// each output pixel drawing on the pixels up to `radius` pixels away in each
// direction, the edge pixels repeated beyond the border. False, with
// `target` unspecified, when working memory cannot be had.
bool BlurPixels(const PixelView& source, const PixelView& target, float radius);
