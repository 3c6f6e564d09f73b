#include "capture/BatchBudget.h"

#include <algorithm>

size_t CBatchBudget::Expected() const
{
    return measuredAny ? std::max(largest, typical) : 0;
}

bool CBatchBudget::CanAdmit() const
{
    if (inFlight == 0) {
        return true;
    }
    return measuredAny && inUse <= limit && Expected() <= limit - inUse;
}

size_t CBatchBudget::Admit(const BudgetLock&)
{
    const size_t held = Expected();
    ++inFlight;
    inUse += held;
    return held;
}

size_t CBatchBudget::Measured(size_t held, size_t bytes, const BudgetLock&)
{
    inUse = inUse - held + bytes;
    largest = std::max(largest, bytes);
    measuredAny = true;
    return bytes;
}

void CBatchBudget::Release(size_t bytes, const BudgetLock&)
{
    --inFlight;
    inUse -= bytes;
}
