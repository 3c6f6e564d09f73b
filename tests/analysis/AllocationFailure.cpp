#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {

// -1: every allocation succeeds.
thread_local int allowedLeft = -1;
thread_local bool struck = false;

void* Allocate(std::size_t size) noexcept
{
    if (allowedLeft == 0) {
        struck = true;
        return nullptr;
    }
    if (allowedLeft > 0) {
        --allowedLeft;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size)
{
    void* block = Allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

AllocationFailure::AllocationFailure(int allowed)
{
    allowedLeft = allowed;
    struck = false;
}

AllocationFailure::~AllocationFailure()
{
    allowedLeft = -1;
}

bool AllocationFailure::Struck() const
{
    return struck;
}

void* operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}

void* operator new[](std::size_t size)
{
    return AllocateOrThrow(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
