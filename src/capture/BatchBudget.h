// How many of the batch's images may be in memory at once, counted in bytes
// rather than in images. What a file takes is known only once it is read
// (from a JPEG's frame header) or decoded, so the first file is read alone
// until then; after it, another file is let in while what the files in
// flight hold, plus what the next one is expected to take (the most a file
// has really taken so far, and never less than a typical image), stays
// within the limit. Only a file larger than that expectation takes the batch
// over the limit, by its own excess. With nothing in flight a file is always
// let in, however large, so that the batch never stalls.
// A header may lie: what it claims is held only up to the limit, and only
// what files really took teaches what the next ones are expected to take. A
// file that claims or takes the whole limit or more goes alone and teaches
// nothing, so that one such file does not keep the rest of the batch serial.
// What files hold is summed in 64 bits, which the counts of a 32-bit
// process cannot overflow.
// Not locked itself: its owner's lock guards it, and every call that changes
// it is handed that lock, held, so that no change can be made outside it.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // What the file's header says it will take, held in place of what was
    // held for it, up to the whole limit; gives what is held now.
    size_t Claimed(size_t held, size_t bytes, const BudgetLock& owner);
    // Whether a file holding that much goes alone: nothing else is let in
    // while it is held.
    bool GoesAlone(size_t held) const { return held >= limit; }
    // What the file really took at most, once it is decoded or its decoding
    // failed, in place of what was held; gives it.
    size_t Took(size_t held, size_t bytes, const BudgetLock& owner);
    // What the file keeps from now on, less than what it took; gives it.
    size_t Keeps(size_t held, size_t bytes, const BudgetLock& owner);
    // The file, of that held size, is done with.
    void Release(size_t bytes, const BudgetLock& owner);

    // What the files in flight hold, or SIZE_MAX when that is more.
    size_t InUse() const;
    size_t InFlight() const { return inFlight; }

private:
    size_t Expected() const;
    // Holds `bytes` for a file in place of `held`.
    size_t Replace(size_t held, size_t bytes);

    size_t limit;
    size_t typical;
    uint64_t inUse = 0;
    size_t inFlight = 0;
    bool toldAny = false;
    size_t largest = 0;
};
