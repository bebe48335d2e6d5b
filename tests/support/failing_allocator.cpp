#include "support/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread, so that allocations of the host's worker threads never count.
thread_local long allocationsLeft = -1;  // negative: never fail
thread_local bool failed = false;

// Null when the armed countdown has run out.
void* Allocate(std::size_t size) {
    if (allocationsLeft == 0) {
        failed = true;
        return nullptr;
    }
    if (allocationsLeft > 0) {
        --allocationsLeft;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
    void* memory = Allocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

}  // namespace

void FailAllocationAfter(long successes) {
    failed = false;
    allocationsLeft = successes;
}

void StopFailingAllocations() {
    allocationsLeft = -1;
}

bool AllocationFailed() {
    return failed;
}

// Every form is replaced, so that no allocation is freed by an allocator other
// than the one that made it (sanitizers check that).
void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
