// Reading and writing the files of the batch sharpen mode, shared by the
// one-file route and the pipelined one.
#pragma once

#include "ui/Gdiplus.h"

#include <cstddef>
#include <memory>
#include <string>

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};
using StreamPtr = std::unique_ptr<IStream, StreamRelease>;

// A bitmap decoded from a copy of the file in memory, so that the file is not
// held open while the result is written, possibly over it. The bitmap may
// read from its stream as long as it lives, so it goes first.
struct LoadedBitmap {
    StreamPtr stream;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

// The whole file in memory; null when it cannot be read whole.
StreamPtr ReadFileInMemory(const std::wstring& path);
// No bitmap when there is no stream, when the GDI+ object cannot be had, or
// when the bytes are a JPEG whose frame is larger than a 32-bit process can
// hold (so large that decoders compute its sizes wrongly and write past their
// buffers): it is refused before any decoder sees it. A bitmap whose status
// is not Ok when the bytes are not an image.
LoadedBitmap DecodeInMemory(StreamPtr stream);
// Both steps at once.
LoadedBitmap LoadBitmapInMemory(const std::wstring& path);

// About what the loaded file takes in memory at most while the batch works on
// it: the file's bytes, the decoded pixels twice (Wine's GDI+ keeps the
// decoder an image came from, and with it the decoder's own decoded copy),
// and the 24-bit copy the effects run on, made while the others are held.
size_t MemoryTaken(const LoadedBitmap& loaded);
// What DecodeJpegTo24BitRgb took at most to make `copy` from the file: the
// file's bytes, the decoder's pixels and the copy.
size_t MemoryTakenStraight(IStream* stream, Gdiplus::Bitmap& copy);
// What the file at `path` will take in memory at most while the batch works
// on it, told before it is read whole, from the frame header at the head of a
// JPEG file, by the road its decoding takes (DecodeJpegTo24BitRgb, or the one
// of MemoryTaken); only its bytes when its frame is refused. 0 for files
// whose head does not tell it, and for those whose header claims more pixels
// than a file of that size can code.
size_t MemoryExpected(const std::wstring& path);
// What that 24-bit copy alone takes, all the file holds once the rest is gone.
size_t MemoryKept(Gdiplus::Bitmap* copy);

// The 24-bit copy the effects run on, decoded from a grey or colour JPEG in
// memory straight through the system's imaging component; null for any other
// file, for a frame larger than the process can hold (never handed to the
// decoder), or when it does not decode there. Beside the copy only the file's
// bytes and the decoder's own pixels are held, not also the bitmap GDI+
// would decode, so that a colour file takes a third less while it is read.
// The pixels are those GDI+ gives. The stream is left at its start, for
// GDI+ to decode what this cannot. The calling thread must have entered COM.
std::unique_ptr<Gdiplus::Bitmap> DecodeJpegTo24BitRgb(IStream* stream);

// Writes the JPEG under a new name in `folder` (which ends in a backslash)
// and puts it in place as `target` only once it is complete, so a failed
// write never costs the file already there (which may be the source itself)
// and leaves nothing behind.
bool SaveJpegReplacing(Gdiplus::Bitmap* bitmap, const std::wstring& folder, const std::wstring& target);
