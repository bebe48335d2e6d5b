#include "io/caching/frame_cache.h"

#include <algorithm>

namespace taviron::cli {

FrameCache::FrameCache(Decoder decoder, size_t budgetBytes, Spiller spiller, unsigned decoders, CoreShare* cores)
    : decoder_(std::move(decoder)), budget_(budgetBytes), spiller_(std::move(spiller)), cores_(cores) {
    for (unsigned i = 0; i < std::max(1u, decoders); ++i) decoders_.emplace_back([this] { DecodeLoop(); });
}

FrameCache::~FrameCache() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        wanted_.clear();
    }
    changed_.notify_all();
    for (std::thread& decoder : decoders_) decoder.join();
}

std::shared_ptr<const DecodedFrame> FrameCache::Get(int frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (entries_.find(frame) == entries_.end()) Decode(frame, lock, CoreShare::Turn());
    while (!entries_.find(frame)->second.ready) {
        // Another thread decodes it: decode one asked ahead meanwhile, when
        // a core is free for it.
        if (!wanted_.empty()) {
            CoreShare::Turn turn = cores_ ? cores_->TryTake() : CoreShare::Turn();
            int other = 0;
            if ((turn || !cores_) && TakeWanted(other)) {
                Decode(other, lock, std::move(turn));
                continue;
            }
        }
        changed_.wait(lock);
    }
    const Entry& entry = entries_.find(frame)->second;
    if (entry.error) std::rethrow_exception(entry.error);
    return entry.frame;
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
        // The pool takes the frames this thread has not reached yet.
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

// Called with the lock held: the next frame asked ahead that is still to be
// decoded, taken off the list. Frames asked for earlier may have been decoded
// elsewhere, or have left the window since; without a spiller, frames stay
// undecoded where they would not fit in the budget beside those in memory
// and those being decoded.
bool FrameCache::TakeWanted(int& frame) {
    while (!wanted_.empty()) {
        frame = wanted_.front();
        wanted_.pop_front();
        const bool fits = spiller_ || bytes_ + (decoding_ + 1) * lastFrameBytes_ <= budget_;
        if (frame >= heldFrom_ && !entries_.count(frame) && fits) return true;
    }
    return false;
}

// Called with the lock held and no entry for `frame`; returns with the lock
// held and the entry ready. Decodes on `turn`, the caller's turn of the
// cores, or waits for one (with the lock let go: turns are given back
// without it).
void FrameCache::Decode(int frame, std::unique_lock<std::mutex>& lock, CoreShare::Turn turn) {
    entries_[frame];  // being decoded
    ++decoding_;
    lock.unlock();
    if (cores_ && !turn) turn = cores_->Take();
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
    turn = CoreShare::Turn();
    lock.lock();
    --decoding_;
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

void FrameCache::DecodeLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !wanted_.empty(); });
        if (stopping_) return;
        // A core first, so that no frame is claimed while its decode waits.
        lock.unlock();
        CoreShare::Turn turn = cores_ ? cores_->Take() : CoreShare::Turn();
        lock.lock();
        int frame = 0;
        if (!stopping_ && TakeWanted(frame)) Decode(frame, lock, std::move(turn));
    }
}

}  // namespace taviron::cli
