#include "io/frame_cache.h"

#include <algorithm>

namespace taviron::cli {

FrameCache::FrameCache(Decoder decoder, size_t budgetBytes, Spiller spiller)
    : decoder_(std::move(decoder)),
      budget_(budgetBytes),
      spiller_(std::move(spiller)),
      prefetcher_([this] { PrefetchLoop(); }) {}

FrameCache::~FrameCache() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wanted_.clear();
    }
    changed_.notify_all();
    prefetcher_.join();
}

std::shared_ptr<const DecodedFrame> FrameCache::Get(int frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = entries_.find(frame);
    if (found == entries_.end()) {
        Decode(frame, lock);
        found = entries_.find(frame);
    }
    changed_.wait(lock, [&] { return found->second.ready; });
    if (found->second.error) std::rethrow_exception(found->second.error);
    return found->second.frame;
}

void FrameCache::Hold(int first, int last) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        heldFrom_ = std::max(heldFrom_, first);
        for (auto it = entries_.begin(); it != entries_.end() && it->first < first;) {
            if (!it->second.ready) {
                ++it;
                continue;
            }
            bytes_ -= it->second.bytes;
            it = entries_.erase(it);
        }
        // The cache's thread takes the frames this one has not reached yet.
        for (long long frame = last; frame >= first; --frame)
            if (entries_.find(static_cast<int>(frame)) == entries_.end()) wanted_.push_front(static_cast<int>(frame));
    }
    changed_.notify_all();
    for (long long frame = first; frame <= last; ++frame) Get(static_cast<int>(frame));
}

void FrameCache::Prefetch(int first, int last) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (long long frame = first; frame <= last; ++frame)
            if (entries_.find(static_cast<int>(frame)) == entries_.end()) wanted_.push_back(static_cast<int>(frame));
    }
    changed_.notify_all();
}

void FrameCache::Trim() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.rbegin(); bytes_ > budget_ && it != entries_.rend();) {
        if (!it->second.ready || it->second.error) {
            ++it;
            continue;
        }
        bytes_ -= it->second.bytes;
        it = std::make_reverse_iterator(entries_.erase(std::next(it).base()));
    }
}

// Called with the lock held and no entry for `frame`; returns with the lock
// held and the entry ready.
void FrameCache::Decode(int frame, std::unique_lock<std::mutex>& lock) {
    entries_[frame];  // being decoded
    lock.unlock();
    Entry decoded;
    size_t frameBytes = 0;
    try {
        decoded.frame = decoder_(frame);
        frameBytes = decoded.frame ? decoded.frame->Bytes() : 0;
        if (TakeMemory(frameBytes)) decoded.bytes = frameBytes;
        else decoded.frame = spiller_(*decoded.frame);
    } catch (...) {
        decoded.error = std::current_exception();
        decoded.frame = nullptr;
    }
    decoded.ready = true;
    lock.lock();
    if (frameBytes) lastFrameBytes_ = frameBytes;
    entries_[frame] = std::move(decoded);
    changed_.notify_all();
}

// Counts a decoded frame against the budget; false when it is to be spilled
// instead.
bool FrameCache::TakeMemory(size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spiller_ && bytes != 0 && bytes_ + bytes > budget_) return false;
    bytes_ += bytes;
    return true;
}

void FrameCache::PrefetchLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !wanted_.empty(); });
        if (stopping_) return;
        const int frame = wanted_.front();
        wanted_.pop_front();
        // A frame asked for earlier may have been decoded elsewhere and
        // dropped with its window since.
        if (frame < heldFrom_ || entries_.count(frame) || (!spiller_ && bytes_ + lastFrameBytes_ > budget_)) continue;
        Decode(frame, lock);
    }
}

}  // namespace taviron::cli
