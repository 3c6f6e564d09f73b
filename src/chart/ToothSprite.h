// The pixels that tooth outlines and numbers put over the chart's picture,
// drawn once by GDI+ on a device context and laid over the back buffer on
// every paint. Under Wine each GDI+ shape drawn on a device context costs
// tens of microseconds, which the teeth of every paint cannot afford.
//
// The drawing is made twice, over black and over white: a pixel the drawing
// did not touch stays black and white; one it covered shows its colour over
// black and, per channel, how much of the background it lets through over
// white. Laying it over any picture then gives what GDI+ would have drawn
// there, antialiased text included.
//
// One drawing holds any number of teeth, and only what falls inside the
// chart: its memory is bounded by the chart's area, whatever a reply holds.
#pragma once

#include "ui/Gdiplus.h"

#include <cstdint>
#include <string>
#include <vector>

// A tooth as the chart draws it: the outline of `box`, `label` at its
// top-left corner.
struct ToothShape {
    RECT box;
    std::wstring label;

    bool operator==(const ToothShape& other) const
    {
        return EqualRect(&box, &other.box) != FALSE && label == other.label;
    }
};

class CToothSprite {
public:
    // Draws `shapes` in their order, outlines with `pen`, labels with `font`
    // and `brush`; a null tool leaves its part out. Only what falls inside
    // `clip` is kept, and only the parts of it that a shape's outline or
    // label reach are drawn at all: a box from the server may be far larger
    // than the chart, and its drawing costs no more memory or time than the
    // chart's own area. False when it could not be drawn.
    bool Render(const std::vector<ToothShape>& shapes, const RECT& clip, const Gdiplus::Pen* pen,
                const Gdiplus::Font* font, const Gdiplus::Brush* brush);
    bool Render(const RECT& box, const RECT& clip, const std::wstring& label, const Gdiplus::Pen* pen,
                const Gdiplus::Font* font, const Gdiplus::Brush* brush);

    // Lays the pixels over a top-down buffer of 32-bit pixels (blue, green,
    // red, unused); what lies outside the buffer is left out.
    void DrawOver(uint32_t* buffer, int32_t width, int32_t height) const;

private:
    // A buffer starts at (0, 0) and is no larger than a screen: pixels to
    // its left or above it, or beyond 16 bits, are never laid and not kept.
    struct Pixel {
        uint16_t x;
        uint16_t y;
        uint32_t overBlack;
        uint32_t overWhite;
    };
    std::vector<std::vector<Pixel>> bands; // the pixels of each band drawn
};
