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

enum class FrameSearch {
    Found,
    // The bytes are no JPEG, or a scan, the end of the image or a header
    // that leaves the size open (a height of 0, given later in the scan)
    // comes first: more bytes of the file would not change that.
    Absent,
    // The bytes end before the frame header does: more of the file may hold it.
    CutShort,
};

// Walks the markers from the start of image to the first frame header.
// Bytes between segments that are no marker, and segments whose length
// leaves out its own two bytes, are passed over as decoders pass them over,
// so that no frame header a decoder reads escapes this reader.
FrameSearch FindJpegFrame(const uint8_t* bytes, size_t length, JpegFrame& frame);
// Whether the whole of the bytes tell the frame.
inline bool ReadJpegFrame(const uint8_t* bytes, size_t length, JpegFrame& frame)
{
    return FindJpegFrame(bytes, length, frame) == FrameSearch::Found;
}
