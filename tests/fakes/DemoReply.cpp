#include "DemoReply.h"

#include "DemoTeeth.h"
#include "FakeAnalysisServer.h"
#include "analysis/TextField.h"

#include <climits>
#include <sstream>

namespace {

// The test text of a working server: two equal halves.
constexpr char kTestText[] = "QUILLMERE-DEMO:QUILLMERE-DEMO";

// A few findings of most kinds, on teeth spread over both arches.
constexpr char kDemoFindings[] = "11,c\n14,j\n16,cf\n24,r\n26,f\n36,be\n38,i\n45,eft\n46,a\n47,p\n";

// The table's places are thousandths of the picture's width and height.
constexpr long kScale = 1000;

// "centre-x,centre-y,width,height,tooth" lines for a picture of width × height.
std::string ToothBoxes(long width, long height)
{
    std::istringstream table(kDemoTeethTable);
    std::ostringstream boxes;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        int tooth = 0;
        long x = 0;
        long y = 0;
        long w = 0;
        long h = 0;
        if (line.empty() || line[0] == '#' || !(fields >> tooth >> x >> y >> w >> h)) {
            continue;
        }
        boxes << x * width / kScale << ',' << y * height / kScale << ',' << w * width / kScale << ','
              << h * height / kScale << ',' << tooth << '\n';
    }
    return boxes.str();
}

} // namespace

bool JpegImageSize(const std::string& bytes, int* width, int* height)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    if (bytes.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) {
        return false;
    }
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byte(at) != 0xFF) {
            return false;
        }
        const unsigned marker = byte(at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        // SOF0 to SOF15, but for DHT, JPG and DAC, which share the range.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 9 > bytes.size()) {
                return false;
            }
            *height = static_cast<int>((byte(at + 5) << 8) | byte(at + 6));
            *width = static_cast<int>((byte(at + 7) << 8) | byte(at + 8));
            return *width > 0 && *height > 0;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return false;
        }
        at += 2 + ((byte(at + 2) << 8) | byte(at + 3));
    }
    return false;
}

std::string DemoReply(const std::string& request)
{
    // The transfer tests are requests of one field, the analyses begin with
    // the request's GUID.
    TextField first;
    const int size = request.size() > INT_MAX ? INT_MAX : static_cast<int>(request.size());
    if (ReadField(request.data(), size, &first)) {
        if (first.key == KEY_DATAREFLECT) {
            const std::string text(first.value, static_cast<size_t>(first.valueLen));
            return ReportFrame({{KEY_RETCODE, "1"}, {KEY_EXTINFO, text}});
        }
        if (first.key == KEY_TESTMSG) {
            return ReportFrame({{KEY_RETCODE, "1"}, {KEY_EXTINFO, kTestText}});
        }
    }
    int width = 0;
    int height = 0;
    if (!JpegImageSize(FieldValue(request, KEY_JPG), &width, &height)) {
        return ReportFrame({{KEY_RETCODE, "0"}});
    }
    return ReportFrame({{KEY_RETCODE, "1"}, {KEY_POSINFO, ToothBoxes(width, height)}, {KEY_DISINFO, kDemoFindings}});
}
