#include "foundation/JpegFrame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Byte strings written as in a hex dump: "FF D8 FF C0 ...".
std::string Bytes(const char* hex)
{
    std::string bytes;
    for (const char* at = hex; *at != '\0';) {
        if (*at == ' ') {
            ++at;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(std::string(at, 2), nullptr, 16)));
        at += 2;
    }
    return bytes;
}

bool Read(const std::string& bytes, JpegFrame& frame)
{
    return ReadJpegFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), frame);
}

// A frame header of 3000 x 1500 (0BB8 x 05DC) with the given marker and
// component count (one component spec of three bytes each).
std::string FrameHeader(const char* marker, int components)
{
    std::string header = Bytes("FF") + Bytes(marker) + Bytes("00") + static_cast<char>(8 + 3 * components) +
                         Bytes("08 05 DC 0B B8") + static_cast<char>(components);
    for (int i = 1; i <= components; ++i) {
        header += static_cast<char>(i) + Bytes("11 00");
    }
    return header;
}

const std::string kStart = Bytes("FF D8");
const std::string kJfif = Bytes("FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 00 01 00 00");
const std::string kQuantTable = Bytes("FF DB 00 05 00 01 02");
const std::string kHuffmanTable = Bytes("FF C4 00 06 00 01 02 03");
const std::string kArithmeticTable = Bytes("FF CC 00 04 00 00");
const std::string kScan = Bytes("FF DA 00 08 01 01 00 00 3F 00 12 34");

TEST(JpegFrame, ReadsTheSizeFromEveryKindOfFrameHeader)
{
    const struct {
        const char* what;
        std::string bytes;
        uint32_t components;
    } cases[] = {
        {"baseline colour", kStart + kJfif + kQuantTable + FrameHeader("C0", 3) + kScan, 3},
        {"baseline grey", kStart + kJfif + FrameHeader("C0", 1) + kScan, 1},
        {"progressive CMYK", kStart + FrameHeader("C2", 4) + kScan, 4},
        {"arithmetic lossless", kStart + kArithmeticTable + FrameHeader("CF", 1), 1},
        // Tables that share the frame headers' range are skipped as segments.
        {"tables first", kStart + kHuffmanTable + kArithmeticTable + FrameHeader("C1", 3), 3},
        {"fill bytes before markers", kStart + Bytes("FF FF") + kJfif + Bytes("FF FF FF") + FrameHeader("C0", 3), 3},
        {"restart and temporary markers stand alone", kStart + Bytes("FF D3 FF 01") + FrameHeader("C0", 3), 3},
        {"a large metadata segment", kStart + Bytes("FF E1 FF FF") + std::string(0xFFFD, '\xFF') + FrameHeader("C0", 3),
         3},
        // Decoders pass over stray bytes and stuffed zeros between segments.
        {"stray bytes where a marker belongs",
         kStart + Bytes("00 12") + kJfif + Bytes("FF 00 34") + FrameHeader("C0", 3), 3},
        {"a length below its own two bytes", kStart + Bytes("FF E0 00 01") + FrameHeader("C0", 3), 3},
    };
    for (const auto& jpeg : cases) {
        JpegFrame frame;
        ASSERT_TRUE(Read(jpeg.bytes, frame)) << jpeg.what;
        EXPECT_EQ(frame.width, 3000u) << jpeg.what;
        EXPECT_EQ(frame.height, 1500u) << jpeg.what;
        EXPECT_EQ(frame.components, jpeg.components) << jpeg.what;
    }
}

// Whether more bytes of the file could still tell the size.
TEST(JpegFrame, RefusesWhatGivesNoSizeBeforeTheFirstScan)
{
    const std::string colour = FrameHeader("C0", 3);
    const struct {
        const char* what;
        std::string bytes;
        bool cutShort;
    } cases[] = {
        {"nothing", "", false},
        {"half a start", Bytes("FF"), true},
        {"a PNG", Bytes("89 50 4E 47 0D 0A 1A 0A"), false},
        {"start only", kStart, true},
        {"a fill byte at the end", kStart + Bytes("FF FF"), true},
        {"a marker without its length", kStart + Bytes("FF E0 00"), true},
        {"only stray bytes", kStart + Bytes("00 12 FF 00"), true},
        {"a scan before any frame", kStart + kScan + colour, false},
        {"the end of the image first", kStart + Bytes("FF D9") + colour, false},
        {"a second start of image", kStart + kStart + colour, false},
        {"a length past the end", kStart + Bytes("FF E0 00 40 00 00") + colour, true},
        {"a frame header cut short", kStart + colour.substr(0, 8), true},
        {"a frame header whose length leaves out the size", kStart + Bytes("FF C0 00 05 08 05 DC"), false},
        {"a height given later in the scan", kStart + Bytes("FF C0 00 0B 08 00 00 0B B8 01 01 11 00"), false},
        {"no width", kStart + Bytes("FF C0 00 0B 08 05 DC 00 00 01 01 11 00"), false},
        {"no component", kStart + Bytes("FF C0 00 08 08 05 DC 0B B8 00"), false},
    };
    for (const auto& jpeg : cases) {
        JpegFrame frame;
        EXPECT_EQ(FindJpegFrame(reinterpret_cast<const uint8_t*>(jpeg.bytes.data()), jpeg.bytes.size(), frame),
                  jpeg.cutShort ? FrameSearch::CutShort : FrameSearch::Absent)
            << jpeg.what;
    }
}

} // namespace
