#include "service/ServiceReply.h"

#include "analysis/TextField.h"
#include "service/JpegSignature.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string GUID_TEXT = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";

std::string Frame(const std::vector<char>& buffer, int len)
{
    return std::string(buffer.data(), static_cast<size_t>(len));
}

TEST(ServiceReply, CodeRepliesAreFifteenBytes)
{
    std::vector<char> frame(FRAME_BUFFER_SIZE);
    int len = -1;
    ASSERT_TRUE(BuildCodeReply(true, frame.data(), &len));
    EXPECT_EQ(Frame(frame, len), "RPT1;8;CODE;1;1");
    ASSERT_TRUE(BuildCodeReply(false, frame.data(), &len));
    EXPECT_EQ(Frame(frame, len), "RPT1;8;CODE;1;0");
    EXPECT_FALSE(BuildCodeReply(true, nullptr, &len));
    EXPECT_EQ(len, 0);
}

struct ResultCase {
    const char* name;
    std::string disInfo;
    const std::string* sharpPath;
    bool ok;
    std::string expected;
};

TEST(ServiceReply, ResultRepliesHoldCodeGuidFindingsAndTheSharpenedPath)
{
    const std::string sharp = "C:\\Temp\\x.jpg";
    // Payload = 8 (CODE) + 44 (GUID) + the DISINFO field: it must leave its
    // terminating NUL room in REPLY_PAYLOAD_SIZE bytes.
    const int roomForFindings = REPLY_PAYLOAD_SIZE - 1 - 8 - 44 - 13;
    const std::string fits(static_cast<size_t>(roomForFindings), 'f');
    const std::string tooLong(static_cast<size_t>(roomForFindings + 1), 'f');
    const ResultCase cases[] = {
        {"tooth 18 missing", "m=18\n", nullptr, true, "RPT1;67;CODE;1;1GUID;36;" + GUID_TEXT + "DISINFO;5;m=18\n"},
        {"no findings", "", nullptr, true, "RPT1;62;CODE;1;1GUID;36;" + GUID_TEXT + "DISINFO;0;"},
        {"with the sharpened copy", "b=11\n", &sharp, true,
         "RPT1;89;CODE;1;1GUID;36;" + GUID_TEXT + "DISINFO;5;b=11\nSHARP;13;" + sharp},
        {"findings that just fit", fits, nullptr, true,
         "RPT1;2047;CODE;1;1GUID;36;" + GUID_TEXT + "DISINFO;1982;" + fits},
        {"findings one byte too long", tooLong, nullptr, false, ""},
        {"findings holding a NUL", std::string("m=1\0", 4), nullptr, false, ""},
    };
    for (const ResultCase& c : cases) {
        std::vector<char> frame(FRAME_BUFFER_SIZE);
        int len = -1;
        EXPECT_EQ(BuildResultReply(GUID_TEXT, c.disInfo, c.sharpPath, frame.data(), &len), c.ok) << c.name;
        EXPECT_EQ(Frame(frame, len), c.expected) << c.name;
    }
}

TEST(JpegSignature, OnlyFilesBeginningWithTheStartOfImageMarkerPass)
{
    const struct {
        const char* name;
        std::string bytes;
        bool jpeg;
    } cases[] = {
        {"JPEG", std::string("\xFF\xD8\xFF\xE0rest", 8), true},
        {"text", "secret text", false},
        {"two bytes of the marker only", std::string("\xFF\xD8", 2), false},
        {"empty", "", false},
    };
    const std::string path = testing::TempDir() + "jpeg-signature-probe";
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary) << c.bytes;
        EXPECT_EQ(BeginsWithJpegSignature(path), c.jpeg) << c.name;
    }
    std::remove(path.c_str());
    EXPECT_FALSE(BeginsWithJpegSignature(path));
}

} // namespace
