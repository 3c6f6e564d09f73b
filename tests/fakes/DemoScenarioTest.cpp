// The demo scenario answered to the program's own analysis client and read by
// its own tooth-info loader, as the chart reads a reply; the system test's
// transfer tests pass against it.
#include "DemoReply.h"
#include "FakeAnalysisServer.h"
#include "analysis/ToothDetect.h"
#include "analysis/ToothInfoLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <set>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The start of a JPEG file: SOI, an APP0 segment, one fill byte when asked,
// then a frame header of the marker `frame` with `width` and `height`, and a
// little scan data.
std::string JpegHead(unsigned frame, int width, int height, bool fillByte)
{
    std::string bytes = "\xFF\xD8";
    bytes += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
    if (fillByte) {
        bytes += '\xFF';
    }
    const char header[] = {'\xFF',
                           static_cast<char>(frame),
                           0,
                           11,
                           8,
                           static_cast<char>(height >> 8),
                           static_cast<char>(height),
                           static_cast<char>(width >> 8),
                           static_cast<char>(width),
                           1,
                           1,
                           0x11,
                           0};
    bytes.append(header, sizeof header);
    bytes += std::string(64, '\x55');
    return bytes;
}

struct DemoCase {
    const char* what;
    std::string image;
    int width;
    int height;
    // Whether the demo server accepts the image.
    bool accepted;
};

void PrintTo(const DemoCase& c, std::ostream* out)
{
    *out << c.what;
}

class DemoScenarioTest : public testing::TestWithParam<DemoCase> {};

// The demo server on a free port, for the program's own client.
class DemoServer {
public:
    DemoServer()
    {
        FakeScenario scenario;
        EXPECT_TRUE(ParseScenario("// the demo\ndemo\n", &scenario));
        server.SetScenario(scenario);
        EXPECT_TRUE(server.Start(0));
        detect.SetServer("127.0.0.1", server.Port());
    }

    FakeAnalysisServer server{false};
    CToothDetect detect;
};

TEST_P(DemoScenarioTest, AnswersWithTeethLaidOverTheImage)
{
    const DemoCase& c = GetParam();
    const fs::path file = fs::temp_directory_path() / ("quill_demo_" + std::to_string(std::random_device()()));
    std::ofstream(file, std::ios::binary).write(c.image.data(), static_cast<std::streamsize>(c.image.size()));

    DemoServer demo;
    bool accepted = !c.accepted;
    std::string boxes;
    std::string findings;
    EXPECT_TRUE(demo.detect.Detect("00112233-4455-6677-8899-AABBCCDDEEFF", "00-1A-2B-3C-4D-5E", file.string(), "",
                                   &accepted, &boxes, &findings));
    fs::remove(file);
    ASSERT_EQ(accepted, c.accepted);
    if (!c.accepted) {
        EXPECT_TRUE(boxes.empty());
        return;
    }

    // As the chart reads a reply.
    ToothInfoMap teeth;
    CToothInfoLoader loader;
    loader.teethMap = &teeth;
    loader.loaderMode = TOOTH_BOXES;
    loader.ParseText(boxes.c_str());
    loader.loaderMode = FINDINGS_BY_TOOTH;
    loader.onlyExisting = true;
    loader.ParseText(findings.c_str());
    loader.RemoveMissingWisdomTeeth();

    EXPECT_GE(teeth.size(), 28u);
    EXPECT_LE(teeth.size(), 32u);
    std::vector<RECT> upper;
    std::vector<RECT> lower;
    std::set<uint32_t> kinds;
    int withoutFindings = 0;
    for (const auto& [key, tooth] : teeth) {
        SCOPED_TRACE(tooth.toothNumber);
        const int quadrant = tooth.toothNumber / 10;
        EXPECT_TRUE(quadrant >= 1 && quadrant <= 4 && tooth.toothNumber % 10 >= 1 && tooth.toothNumber % 10 <= 8);
        const RECT& box = tooth.imageBox;
        EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= c.width && box.bottom <= c.height);
        EXPECT_TRUE(box.right > box.left && box.bottom > box.top);
        (quadrant <= 2 ? upper : lower).push_back(box);
        withoutFindings += tooth.findingMask == FINDING_HEALTHY;
        for (uint32_t bit = 2; bit != 0 && bit <= tooth.findingMask; bit <<= 1) {
            if (tooth.findingMask & bit) {
                kinds.insert(bit);
            }
        }
    }
    // An upper tooth stands above the lower teeth it meets.
    for (const RECT& top : upper) {
        for (const RECT& bottom : lower) {
            if (top.left < bottom.right && bottom.left < top.right) {
                EXPECT_LT(top.bottom, bottom.top);
            }
        }
    }
    EXPECT_GE(kinds.size(), 4u);
    EXPECT_GT(withoutFindings, 0);
}

std::string WithScanFirst()
{
    std::string bytes = JpegHead(0xC0, 800, 400, false);
    bytes[21] = '\xDA';
    return bytes;
}

// As the system-test dialog asks: each text comes back as sent, field-like
// texts included, and the server's test text has two equal halves.
TEST(DemoTransferTest, EchoesEveryTextAndSendsATestTextOfTwoEqualHalves)
{
    DemoServer demo;
    for (const std::string text : {"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi", "", "#@RETCODE@#;1;0",
                                   "#@TESTMSG@#;0;", "#@JPG@#;4;\xFF\xD8\xFF\xC0"}) {
        SCOPED_TRACE(text);
        bool accepted = false;
        std::string echo = "stale";
        EXPECT_TRUE(demo.detect.DataReflect(text, &accepted, &echo));
        EXPECT_TRUE(accepted);
        EXPECT_EQ(echo, text);
    }
    bool accepted = false;
    std::string first;
    std::string second;
    EXPECT_TRUE(demo.detect.TestMessage(&accepted, &first, &second));
    EXPECT_TRUE(accepted);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
}

INSTANTIATE_TEST_SUITE_P(Images, DemoScenarioTest,
                         testing::Values(DemoCase{"panoramic", JpegHead(0xC0, 3000, 1500, false), 3000, 1500, true},
                                         DemoCase{"progressive", JpegHead(0xC2, 1600, 800, false), 1600, 800, true},
                                         DemoCase{"fill byte", JpegHead(0xC1, 2976, 1536, true), 2976, 1536, true},
                                         DemoCase{"square", JpegHead(0xC0, 640, 640, false), 640, 640, true},
                                         DemoCase{"not a JPEG", "GIF89a" + std::string(64, 'x'), 0, 0, false},
                                         DemoCase{"cut in the frame header",
                                                  JpegHead(0xC0, 900, 450, false).substr(0, 26), 0, 0, false},
                                         DemoCase{"scan before a frame header", WithScanFirst(), 0, 0, false},
                                         DemoCase{"no height", JpegHead(0xC0, 900, 0, false), 0, 0, false}));

} // namespace
