// The pixels that a tooth's outline and number put over the chart's picture,
// drawn once by GDI+ on a device context and laid over the back buffer on
// every paint. Under Wine each GDI+ shape drawn on a device context costs
// tens of microseconds, which 32 teeth in a paint cannot afford.
//
// The drawing is made twice, over black and over white: a pixel the drawing
// did not touch stays black and white; one it covered shows its colour over
// black and, per channel, how much of the background it lets through over
// white. Laying it over any picture then gives what GDI+ would have drawn
// there, antialiased text included.
#pragma once

#include "ui/Gdiplus.h"

#include <cstdint>
#include <string>
#include <vector>

class CToothSprite {
public:
    // Draws the outline of `box` with `pen` and `label` with `font` and
    // `brush` at the box's top-left corner, as the chart draws a tooth; a
    // null tool leaves its part out. Only what falls inside `clip` is kept:
    // a box from the server may be far larger than the chart, and its drawing
    // costs no more memory or time than the chart's own area. False when it
    // could not be drawn.
    bool Render(const RECT& box, const RECT& clip, const std::wstring& label, const Gdiplus::Pen* pen,
                const Gdiplus::Font* font, const Gdiplus::Brush* brush);

    // Lays the pixels over a top-down buffer of 32-bit pixels (blue, green,
    // red, unused); what lies outside the buffer is left out.
    void DrawOver(uint32_t* buffer, int32_t width, int32_t height) const;

private:
    struct Pixel {
        int32_t x;
        int32_t y;
        uint32_t overBlack;
        uint32_t overWhite;
    };
    std::vector<Pixel> pixels;
};
