#include "capture/EffectWorkspace.h"

#include <new>

uint8_t* CEffectWorkspace::Scratch(size_t bytes)
{
    if (bytes > scratchBytes || !scratch) {
        scratch.reset();
        scratchBytes = 0;
        scratch.reset(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]);
        if (scratch) {
            scratchBytes = bytes;
        }
    }
    return scratch.get();
}
