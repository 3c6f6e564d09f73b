#include "capture/BatchBudget.h"

#include <algorithm>
#include <cstdint>

size_t CBatchBudget::Expected() const
{
    return toldAny ? std::max(largest, typical) : 0;
}

size_t CBatchBudget::InUse() const
{
    return static_cast<size_t>(std::min<uint64_t>(inUse, SIZE_MAX));
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
    inUse += held;
    return held;
}

size_t CBatchBudget::Replace(size_t held, size_t bytes)
{
    inUse = inUse - held + bytes;
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
    inUse -= bytes;
}
