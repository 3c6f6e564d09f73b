#include "foundation/JpegFrame.h"

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
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

bool ReadJpegFrame(const uint8_t* bytes, size_t length, JpegFrame& frame)
{
    if (length < 2 || bytes[0] != kMarkerPrefix || bytes[1] != kStartOfImage) {
        return false;
    }
    size_t at = 2;
    while (at < length) {
        if (bytes[at] != kMarkerPrefix) {
            return false;
        }
        // A marker may be preceded by any number of fill bytes.
        while (at < length && bytes[at] == kMarkerPrefix) {
            ++at;
        }
        if (at >= length) {
            return false;
        }
        const uint8_t marker = bytes[at++];
        if (StandsAlone(marker)) {
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage || marker == kStartOfImage || length - at < 2) {
            return false;
        }
        const uint32_t segment = BigEndian16(bytes + at);
        if (segment < 2 || segment > length - at) {
            return false;
        }
        if (IsFrameHeader(marker)) {
            // Precision, height, width, component count.
            constexpr uint32_t kHeaderBytes = 2 + 1 + 2 + 2 + 1;
            if (segment < kHeaderBytes) {
                return false;
            }
            frame.height = BigEndian16(bytes + at + 3);
            frame.width = BigEndian16(bytes + at + 5);
            frame.components = bytes[at + 7];
            return frame.width > 0 && frame.height > 0 && frame.components > 0;
        }
        at += segment;
    }
    return false;
}
