#include "capture/StripRunner.h"

#include <exception>

CStripRunner::CStripRunner(unsigned helperThreads)
{
    helpers.reserve(helperThreads);
    for (unsigned i = 0; i < helperThreads; ++i) {
        try {
            helpers.emplace_back([this, slot = helpers.size() + 1] { HelperLoop(slot); });
        } catch (const std::exception&) {
            // A thread the system does not give (or the memory for it) only
            // means fewer strips at once.
            break;
        }
    }
}

CStripRunner::~CStripRunner()
{
    {
        const std::lock_guard<std::mutex> held(lock);
        stopping = true;
    }
    started.notify_all();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void CStripRunner::Run(size_t stripCount, const Strip& strip)
{
    {
        const std::lock_guard<std::mutex> held(lock);
        current = &strip;
        count = stripCount;
        next = 0;
        failure = nullptr;
        busyHelpers = helpers.size();
        ++generation;
    }
    started.notify_all();
    TakeStrips(0);
    std::unique_lock<std::mutex> held(lock);
    ended.wait(held, [&] { return busyHelpers == 0; });
    current = nullptr;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void CStripRunner::TakeStrips(size_t slot)
{
    for (;;) {
        size_t index = 0;
        {
            const std::lock_guard<std::mutex> held(lock);
            if (next >= count || failure) {
                return;
            }
            index = next++;
        }
        try {
            (*current)(index, slot);
        } catch (...) {
            const std::lock_guard<std::mutex> held(lock);
            failure = std::current_exception();
        }
    }
}

// Nothing escapes a helper: what a strip throws goes back to Run's caller.
void CStripRunner::HelperLoop(size_t slot) noexcept
{
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> held(lock);
            started.wait(held, [&] { return stopping || generation != seen; });
            if (stopping) {
                return;
            }
            seen = generation;
        }
        TakeStrips(slot);
        {
            const std::lock_guard<std::mutex> held(lock);
            --busyHelpers;
        }
        ended.notify_one();
    }
}
