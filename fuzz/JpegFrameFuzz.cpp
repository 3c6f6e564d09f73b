// Arbitrary bytes as the start of a batch file: the frame header reader must
// stay within them, and whatever header a real decoder (libjpeg) reads from
// the same bytes, the reader must read too, with the same size and
// components: the batch refuses a frame too large for it before any decoder
// sees it. (The reader may read what the decoder refuses, such as a frame
// kind it does not decode.)
#include "foundation/JpegFrame.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct DecoderError {
    jpeg_error_mgr manager;
    jmp_buf leave;
};

[[noreturn]] void LeaveDecoder(j_common_ptr decoder)
{
    longjmp(reinterpret_cast<DecoderError*>(decoder->err)->leave, 1);
}

void KeepQuiet(j_common_ptr) {}

// The frame libjpeg reads from the header up to the first scan; false when
// it refuses the bytes on the way.
bool ReadWithDecoder(const uint8_t* data, size_t size, JpegFrame& frame)
{
    jpeg_decompress_struct decoder{};
    DecoderError error{};
    decoder.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = LeaveDecoder;
    error.manager.output_message = KeepQuiet;
    jpeg_create_decompress(&decoder);
    volatile bool read = false;
    if (setjmp(error.leave) == 0) {
        jpeg_mem_src(&decoder, data, static_cast<unsigned long>(size));
        read = jpeg_read_header(&decoder, TRUE) == JPEG_HEADER_OK;
        frame.width = decoder.image_width;
        frame.height = decoder.image_height;
        frame.components = static_cast<uint32_t>(decoder.num_components);
    }
    jpeg_destroy_decompress(&decoder);
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JpegFrame frame;
    const bool read = ReadJpegFrame(data, size, frame);
    if (read && (frame.width == 0 || frame.height == 0 || frame.components == 0)) {
        abort();
    }
    JpegFrame decoded;
    if (ReadWithDecoder(data, size, decoded) &&
        (!read || decoded.width != frame.width || decoded.height != frame.height ||
         decoded.components != frame.components)) {
        abort();
    }
    return 0;
}
