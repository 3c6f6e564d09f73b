// The size of a JPEG picture, read from its frame header without decoding
// anything, so that what its decoding will cost is known before it starts.
#pragma once

#include <cstddef>
#include <cstdint>

struct JpegFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    // 1 for grey, 3 for colour, 4 for CMYK.
    uint32_t components = 0;
};

// Walks the markers from the start of image to the first frame header. False
// when the bytes are no JPEG, end before that header, or the header leaves
// the size open (a height of 0, given later in the scan).
bool ReadJpegFrame(const uint8_t* bytes, size_t length, JpegFrame& frame);
