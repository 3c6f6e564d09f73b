#include "capture/BatchBudget.h"

#include <algorithm>
#include <cstdint>

namespace {

size_t SaturatingAdd(size_t a, size_t b)
{
    return b > SIZE_MAX - a ? SIZE_MAX : a + b;
}

} // namespace

size_t CBatchBudget::Expected() const
{
    return toldAny ? std::max(largest, typical) : 0;
}

bool CBatchBudget::CanAdmit() const
{
    if (inFlight == 0) {
        return true;
    }
    return toldAny && inUse <= limit && Expected() <= limit - inUse;
}

size_t CBatchBudget::Admit(const BudgetLock&)
{
    const size_t held = Expected();
    ++inFlight;
    inUse = SaturatingAdd(inUse, held);
    return held;
}

size_t CBatchBudget::Replace(size_t held, size_t bytes)
{
    inUse = SaturatingAdd(inUse - std::min(held, inUse), bytes);
    toldAny = true;
    return bytes;
}

size_t CBatchBudget::Claimed(size_t held, size_t bytes, const BudgetLock&)
{
    return Replace(held, std::min(bytes, limit));
}

size_t CBatchBudget::Took(size_t held, size_t bytes, const BudgetLock&)
{
    if (!GoesAlone(bytes)) {
        largest = std::max(largest, bytes);
    }
    return Replace(held, bytes);
}

size_t CBatchBudget::Keeps(size_t held, size_t bytes, const BudgetLock&)
{
    return Replace(held, bytes);
}

void CBatchBudget::Release(size_t bytes, const BudgetLock&)
{
    --inFlight;
    inUse -= std::min(bytes, inUse);
}
