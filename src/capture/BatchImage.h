// The pixels of one file of the batch in memory of our own, handed between
// the thread that decodes it, the one that runs the effects and the one that
// encodes it. The memory is kept from file to file and grows only for a
// larger image. GDI+ objects are made and destroyed inside each call, on the
// calling thread; none is kept.
#pragma once

#include "capture/PixelView.h"
#include "ui/Gdiplus.h"

#include <memory>
#include <string>
#include <vector>

class CBatchImage {
public:
    // Copies the decoded pixels of `bitmap` in. False, holding nothing, when
    // the bitmap does not hold 24-bit pixels of its own, or cannot be read:
    // such a file takes the one-file route, which treats every format and
    // every failure as it always has.
    bool CopyFrom(Gdiplus::Bitmap& bitmap);

    // Writes the pixels as JPEG data through a bitmap that uses them in
    // place, with the resolution and the property items (the file's
    // metadata) of the decoded bitmap, as the one-file route would have
    // written that bitmap itself.
    bool SaveAsJpeg(const std::wstring& folder, const std::wstring& target);

    PixelView View() const { return {memory.get(), width, height, stride}; }

    // The file's place in the batch, and whether it holds decoded pixels.
    int index = -1;
    bool decoded = false;

private:
    bool Reserve(uint32_t newWidth, uint32_t newHeight);
    bool CopyPropertiesFrom(Gdiplus::Bitmap& bitmap);

    std::unique_ptr<uint8_t[]> memory;
    size_t capacity = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    ptrdiff_t stride = 0;
    // The encoder records the resolution in the file.
    Gdiplus::REAL horizontalDpi = 0;
    Gdiplus::REAL verticalDpi = 0;
    // The items as GDI+ hands them out: the item array, then the values it
    // points to, in one block.
    std::vector<unsigned char> properties;
    UINT propertyCount = 0;
};
