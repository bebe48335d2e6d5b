#include "image_memory.h"

#include <hostsdk/image.h>

#include <atomic>
#include <new>

namespace {

std::atomic<size_t> memoryLimit{0};  // 0: no limit
std::atomic<size_t> memoryInUse{0};

}  // namespace

void SetImageMemoryLimit(size_t bytes) {
    memoryLimit.store(bytes, std::memory_order_relaxed);
}

size_t ImageMemoryInUse() {
    return memoryInUse.load(std::memory_order_relaxed);
}

void ReserveImageMemory(size_t bytes) {
    size_t inUse = memoryInUse.load(std::memory_order_relaxed);
    do {
        const size_t limit = memoryLimit.load(std::memory_order_relaxed);
        if (limit != 0 && (bytes > limit || inUse > limit - bytes)) {
            throw std::bad_alloc();
        }
    } while (!memoryInUse.compare_exchange_weak(inUse, inUse + bytes, std::memory_order_relaxed));
}

void ReturnImageMemory(size_t bytes) {
    memoryInUse.fetch_sub(bytes, std::memory_order_relaxed);
}
