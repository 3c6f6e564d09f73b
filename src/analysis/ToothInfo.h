// One tooth's record and the map that holds the records of one image or of
// several.
#pragma once

#include "foundation/Portable.h"

#include <cstdint>
#include <map>

class CToothInfo {
public:
    CToothInfo();
    CToothInfo(const CToothInfo& other);
    virtual ~CToothInfo();
    CToothInfo& operator=(const CToothInfo& other);

    RECT imageBox;        // in image pixels
    RECT screenBox;       // in the chart's client coordinates
    int32_t toothNumber;  // two-digit FDI number
    uint32_t flags;       // TOOTH_HOVER on the tooth under the mouse
    uint32_t findingMask; // a set of FindingKind bits
};

constexpr uint32_t TOOTH_HOVER = 1;

// Keyed by tooth number, or by ToothKey for the teeth of several images; in
// both forms the map iterates image by image, then by ascending tooth number.
using ToothInfoMap = std::map<uint32_t, CToothInfo>;

// The key of a tooth of the image at 0-based `imageIndex` among several.
uint32_t ToothKey(uint32_t imageIndex, int32_t toothNumber);

// The image index of a key made by ToothKey.
uint32_t ImageIndexOfKey(uint32_t key);
