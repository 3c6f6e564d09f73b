#include "foundation/JpegFrame.h"

#include <algorithm>

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStuffedZero = 0x00;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kTemporary = 0x01;
constexpr uint8_t kFirstRestart = 0xD0;
constexpr uint8_t kLastRestart = 0xD7;

// Every frame header kind: baseline, extended, progressive and lossless,
// with Huffman or arithmetic coding. C4, C8 and CC share the range but are
// tables and a reserved code.
bool IsFrameHeader(uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool StandsAlone(uint8_t marker)
{
    return marker == kTemporary || (marker >= kFirstRestart && marker <= kLastRestart);
}

uint32_t BigEndian16(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) << 8 | at[1];
}

} // namespace

FrameSearch FindJpegFrame(const uint8_t* bytes, size_t length, JpegFrame& frame)
{
    if (length < 2) {
        return length == 1 && bytes[0] == kMarkerPrefix ? FrameSearch::CutShort : FrameSearch::Absent;
    }
    if (bytes[0] != kMarkerPrefix || bytes[1] != kStartOfImage) {
        return FrameSearch::Absent;
    }
    size_t at = 2;
    while (at < length) {
        if (bytes[at] != kMarkerPrefix) {
            ++at;
            continue;
        }
        // A marker may be preceded by any number of fill bytes.
        while (at < length && bytes[at] == kMarkerPrefix) {
            ++at;
        }
        if (at >= length) {
            return FrameSearch::CutShort;
        }
        const uint8_t marker = bytes[at++];
        // A zero after the prefix stands for a data byte of that value.
        if (marker == kStuffedZero || StandsAlone(marker)) {
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage || marker == kStartOfImage) {
            return FrameSearch::Absent;
        }
        if (length - at < 2) {
            return FrameSearch::CutShort;
        }
        // Decoders pass over a segment whose length leaves out its own two
        // bytes as if it held only them.
        const uint32_t segment = std::max<uint32_t>(BigEndian16(bytes + at), 2);
        if (segment > length - at) {
            return FrameSearch::CutShort;
        }
        if (IsFrameHeader(marker)) {
            // Precision, height, width, component count.
            constexpr uint32_t kHeaderBytes = 2 + 1 + 2 + 2 + 1;
            if (segment < kHeaderBytes) {
                return FrameSearch::Absent;
            }
            frame.height = BigEndian16(bytes + at + 3);
            frame.width = BigEndian16(bytes + at + 5);
            frame.components = bytes[at + 7];
            return frame.width > 0 && frame.height > 0 && frame.components > 0 ? FrameSearch::Found
                                                                               : FrameSearch::Absent;
        }
        at += segment;
    }
    return FrameSearch::CutShort;
}
