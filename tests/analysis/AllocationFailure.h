// Makes the allocations of the calling thread fail, so that a test can show
// an operation reporting a lack of memory by its result. The test executable
// that uses it replaces the global allocation functions.
#pragma once

class AllocationFailure {
public:
    // The next `allowed` allocations of this thread succeed, every later one fails.
    explicit AllocationFailure(int allowed);
    // Allocations succeed again.
    ~AllocationFailure();
    AllocationFailure(const AllocationFailure&) = delete;
    AllocationFailure& operator=(const AllocationFailure&) = delete;

    // An allocation was refused since the construction.
    bool Struck() const;
};
