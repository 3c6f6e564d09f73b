#include "chart/ToothLabel.h"

namespace {

constexpr size_t TOOTH_LABEL_WIDTH = 2;

} // namespace

std::wstring ToothLabel(int32_t toothNumber)
{
    std::wstring text = std::to_wstring(toothNumber);
    if (text.size() < TOOTH_LABEL_WIDTH) {
        text.insert(0, TOOTH_LABEL_WIDTH - text.size(), L' ');
    }
    return text.substr(0, TOOTH_LABEL_WIDTH);
}
