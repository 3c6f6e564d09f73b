// How many of the batch's images may be in memory at once, counted in bytes
// rather than in images. What a file takes is known only once it is read
// (from a JPEG's frame header) or decoded, so the first file is read alone
// until then; after it, another file is let in while what the files in
// flight hold, plus what the next one is expected to take (the largest file
// met so far, and never less than a typical image), stays within the limit.
// Only a file larger than that expectation takes the batch over the limit,
// by its own excess. With nothing in flight a file is always let in, however
// large, so that the batch never stalls.
// Not locked itself: its owner's lock guards it, and every call that changes
// it is handed that lock, held, so that no change can be made outside it.
#pragma once

#include <cstddef>
#include <mutex>

using BudgetLock = std::unique_lock<std::mutex>;

class CBatchBudget {
public:
    CBatchBudget(size_t limitBytes, size_t typicalBytes) : limit(limitBytes), typical(typicalBytes) {}

    // Whether another file may be read now.
    bool CanAdmit() const;
    // Counts a file in and holds what it is expected to take until it is
    // measured; gives the amount held.
    size_t Admit(const BudgetLock& owner);
    // What the file takes now in place of what was held for it; gives it.
    size_t Measured(size_t held, size_t bytes, const BudgetLock& owner);
    // The file, of that measured size, is done with.
    void Release(size_t bytes, const BudgetLock& owner);

    size_t InUse() const { return inUse; }
    size_t InFlight() const { return inFlight; }

private:
    size_t Expected() const;

    size_t limit;
    size_t typical;
    size_t inUse = 0;
    size_t inFlight = 0;
    bool measuredAny = false;
    size_t largest = 0;
};
