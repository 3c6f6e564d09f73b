// How many of the batch's images may be in memory at once, counted in bytes
// rather than in images. What a file will take is told before it is let in,
// from a JPEG's frame header, and known for every file once it is decoded.
// A file is let in while what the files in flight hold, plus what it claims
// (or, when its header tells nothing, what a file is expected to take: the
// most a file has really taken so far, and never less than a typical image),
// stays within the limit; until some file has told its size, a file that
// tells nothing is read alone. Only a file larger than it claimed or was
// expected to be takes the batch over the limit, by its own excess. With
// nothing in flight a file is always let in, however large, so that the
// batch never stalls.
// A header may lie: what it claims is held only up to the limit, and only
// what files really took teaches what the next ones are expected to take. A
// file that claims the whole limit or more goes alone: it is let in only
// with nothing in flight, and nothing after it while it holds that much. A
// file that takes the whole limit or more teaches nothing, so that one such
// file does not keep the rest of the batch serial.
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

    // Whether a file whose header claims `claim` bytes (0 when it tells
    // nothing) may be read now.
    bool CanAdmit(size_t claim) const;
    // Counts the file in and holds what it claims, or what a file is expected
    // to take, until it is measured; gives the amount held.
    size_t Admit(size_t claim, const BudgetLock& owner);
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
    // What a file that tells nothing is held at when it is let in.
    size_t Expected() const;

private:
    size_t Held(size_t claim) const;
    bool GoesAlone(size_t held) const { return held >= limit; }
    // Holds `bytes` for a file in place of `held`.
    size_t Replace(size_t held, size_t bytes);

    size_t limit;
    size_t typical;
    uint64_t inUse = 0;
    size_t inFlight = 0;
    bool toldAny = false;
    size_t largest = 0;
};
