#include "image_memory.h"

#include <hostsdk/image.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace {

std::atomic<size_t> memoryLimit{0};  // 0: no limit
std::atomic<size_t> memoryInUse{0};

// Blocks of images that went, newest last. Under AddressSanitizer nothing is
// kept, so that it still sees every use of a gone image's pixels.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kKeptBlockBytes = 0;
#else
constexpr size_t kKeptBlockBytes = size_t{512} << 20;
#endif
constexpr size_t kSmallestKeptBlock = size_t{1} << 20;

struct KeptBlocks {
    // Room for every block there can be, so that an image going never
    // allocates.
    KeptBlocks() { blocks.reserve(kKeptBlockBytes / kSmallestKeptBlock); }

    std::mutex mutex;
    std::vector<std::pair<unsigned char*, size_t>> blocks;
    size_t bytes = 0;
};

// Never destroyed: images may go during static destruction.
KeptBlocks& Kept() {
    static KeptBlocks* kept = new KeptBlocks;
    return *kept;
}

unsigned char* TakeKeptBlock(size_t bytes) {
    KeptBlocks& kept = Kept();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    const auto found = std::find_if(kept.blocks.rbegin(), kept.blocks.rend(),
                                    [bytes](const auto& block) { return block.second == bytes; });
    if (found == kept.blocks.rend()) {
        return nullptr;
    }
    unsigned char* block = found->first;
    kept.blocks.erase(std::next(found).base());
    kept.bytes -= bytes;
    return block;
}

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

unsigned char* TakePixelBlock(size_t bytes) {
    if (bytes >= kSmallestKeptBlock) {
        if (unsigned char* block = TakeKeptBlock(bytes)) {
            return block;
        }
    }
    void* block = std::malloc(std::max<size_t>(bytes, 1));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<unsigned char*>(block);
}

void ReturnPixelBlock(unsigned char* block, size_t bytes) {
    if (bytes >= kSmallestKeptBlock && bytes <= kKeptBlockBytes) {
        KeptBlocks& kept = Kept();
        const std::lock_guard<std::mutex> lock(kept.mutex);
        // The oldest make room.
        while (kept.bytes + bytes > kKeptBlockBytes) {
            std::free(kept.blocks.front().first);
            kept.bytes -= kept.blocks.front().second;
            kept.blocks.erase(kept.blocks.begin());
        }
        kept.blocks.emplace_back(block, bytes);
        kept.bytes += bytes;
        return;
    }
    std::free(block);
}
