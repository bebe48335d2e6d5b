// The scratch storage of the rows of one request. A row borrows a set of
// buffers that no running row holds, grows it to its needs and gives it back
// when it ends, so each worker thread keeps reusing the same buffers from row
// to row, and a request holds at most as many sets as rows ran at once, until
// the pool goes with the request. Borrowing takes no lock.
#pragma once

#include <atomic>

namespace taviron {

struct RowScratch;

class ScratchPool {
    struct Entry;

public:
    ScratchPool() = default;
    ScratchPool(const ScratchPool&) = delete;
    ScratchPool& operator=(const ScratchPool&) = delete;
    // Only once no row holds any of its sets.
    ~ScratchPool();

    // One set of buffers, the borrower's alone until the lease ends.
    class Lease {
    public:
        explicit Lease(Entry& entry) : entry_(&entry) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();
        RowScratch& Scratch() const;

    private:
        Entry* entry_;
    };

    // A set no other row holds: one given back earlier, or a new one (which
    // may throw std::bad_alloc, leaving the pool as it was).
    Lease Borrow();

private:
    std::atomic<Entry*> head_{nullptr};
};

}  // namespace taviron
