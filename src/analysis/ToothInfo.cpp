#include "analysis/ToothInfo.h"

#include "analysis/FindingKind.h"

namespace {

constexpr uint32_t TEETH_PER_IMAGE_KEY = 256;
constexpr int IMAGE_KEY_SHIFT = 8;

} // namespace

CToothInfo::CToothInfo() : imageBox{}, screenBox{}, toothNumber(0), flags(0), findingMask(FINDING_HEALTHY) {}

CToothInfo::CToothInfo(const CToothInfo& other) = default;

CToothInfo::~CToothInfo() = default;

CToothInfo& CToothInfo::operator=(const CToothInfo& other) = default;

uint32_t ToothKey(uint32_t imageIndex, int32_t toothNumber)
{
    return imageIndex * TEETH_PER_IMAGE_KEY + static_cast<uint32_t>(toothNumber);
}

uint32_t ImageIndexOfKey(uint32_t key)
{
    return key >> IMAGE_KEY_SHIFT;
}
