// What the effects need beyond the image, kept from one image to the next by
// a caller that runs them on many: helper threads for their strips, and the
// blur's working copy, so that its memory is not mapped afresh every time.
#pragma once

#include "capture/StripRunner.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CEffectWorkspace {
public:
    // No helpers: the effects run on the caller's thread alone.
    explicit CEffectWorkspace(unsigned helperThreads = 0) : runner(helperThreads) {}

    CStripRunner& Runner() { return runner; }
    // At least `bytes` of working memory, kept for the next image; null when
    // it cannot be had.
    uint8_t* Scratch(size_t bytes);

private:
    CStripRunner runner;
    std::unique_ptr<uint8_t[]> scratch;
    size_t scratchBytes = 0;
};
