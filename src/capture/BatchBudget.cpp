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

size_t CBatchBudget::Held(size_t claim) const
{
    return claim != 0 ? std::min(claim, limit) : Expected();
}

bool CBatchBudget::CanAdmit(size_t claim) const
{
    if (inFlight == 0) {
        return true;
    }
    const size_t held = Held(claim);
    return !GoesAlone(held) && (claim != 0 || toldAny) && inUse <= limit && held <= limit - inUse;
}

size_t CBatchBudget::Admit(size_t claim, const BudgetLock&)
{
    const size_t held = Held(claim);
    ++inFlight;
    inUse += held;
    toldAny = toldAny || claim != 0;
    return held;
}

size_t CBatchBudget::Replace(size_t held, size_t bytes)
{
    inUse = inUse - held + bytes;
    toldAny = true;
    return bytes;
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
