#include <filter/scratch_pool.h>

#include "row_scratch.h"

#include <memory>

namespace taviron {

// The sets stand in a list that only grows while the rows run, so that a row
// may walk it while another row adds to it.
struct ScratchPool::Entry {
    RowScratch scratch;
    std::atomic<bool> lent{true};
    Entry* next = nullptr;
};

ScratchPool::~ScratchPool() {
    Entry* entry = head_.load(std::memory_order_acquire);
    while (entry != nullptr) {
        std::unique_ptr<Entry> gone(entry);
        entry = entry->next;
    }
}

ScratchPool::Lease ScratchPool::Borrow() {
    for (Entry* entry = head_.load(std::memory_order_acquire); entry != nullptr; entry = entry->next) {
        bool lent = false;
        if (!entry->lent.load(std::memory_order_relaxed) &&
            entry->lent.compare_exchange_strong(lent, true, std::memory_order_acquire)) {
            return Lease(*entry);
        }
    }
    Entry* entry = new Entry;
    entry->next = head_.load(std::memory_order_relaxed);
    while (!head_.compare_exchange_weak(entry->next, entry, std::memory_order_release, std::memory_order_relaxed)) {
    }
    return Lease(*entry);
}

ScratchPool::Lease::~Lease() { entry_->lent.store(false, std::memory_order_release); }

RowScratch& ScratchPool::Lease::Scratch() const { return entry_->scratch; }

}  // namespace taviron
