// Runs the strips of one effect step on several threads at once: the caller
// and helper threads that wait between steps, so that a batch does not start
// threads for every image. Strips write to parts of the image of their own,
// so the result does not depend on how many threads share the work.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CStripRunner {
public:
    // The strip with this index, on the thread with this slot: slots run
    // from 0 (the caller) to Threads() - 1, one strip at a time each.
    using Strip = std::function<void(size_t index, size_t slot)>;

    // No helpers: every strip runs on the caller's thread.
    explicit CStripRunner(unsigned helperThreads = 0);
    CStripRunner(const CStripRunner&) = delete;
    CStripRunner& operator=(const CStripRunner&) = delete;
    ~CStripRunner();

    size_t Threads() const { return helpers.size() + 1; }

    // Runs strips 0 .. count - 1 and returns once all have ended. What a
    // strip throws is thrown here, after the others have ended.
    void Run(size_t count, const Strip& strip);

private:
    void HelperLoop(size_t slot) noexcept;
    // Takes strips until none is left or one has thrown.
    void TakeStrips(size_t slot);

    std::vector<std::thread> helpers;
    std::mutex lock;
    std::condition_variable started;
    std::condition_variable ended;
    // Guarded by `lock`: a new generation starts a Run for the helpers.
    unsigned generation = 0;
    bool stopping = false;
    size_t busyHelpers = 0;
    const Strip* current = nullptr;
    size_t count = 0;
    size_t next = 0;
    std::exception_ptr failure;
};
