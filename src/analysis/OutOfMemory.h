// The analysis code reports every failure by its result. Running out of memory
// is one more failure: a 32-bit process can meet it on a large reply, and an
// exception must not climb out of an operation whose callers test its result.
#pragma once

#include <new>

// Runs `operation` (returning bool) and turns a failed allocation into false.
template <typename Operation> bool FalseWhenOutOfMemory(Operation operation)
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return false;
    }
}
