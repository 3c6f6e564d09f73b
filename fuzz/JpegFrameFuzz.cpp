// Arbitrary bytes as the start of a batch file: the frame header reader must
// stay within them, and a size it reads must not change with what follows
// the header, since it reads no further.
#include "foundation/JpegFrame.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JpegFrame frame;
    if (!ReadJpegFrame(data, size, frame)) {
        return 0;
    }
    if (frame.width == 0 || frame.height == 0 || frame.components == 0) {
        abort();
    }
    std::vector<uint8_t> longer(data, data + size);
    longer.insert(longer.end(), {0xFF, 0xD9, 0x00});
    JpegFrame again;
    if (!ReadJpegFrame(longer.data(), longer.size(), again) || again.width != frame.width ||
        again.height != frame.height || again.components != frame.components) {
        abort();
    }
    return 0;
}
