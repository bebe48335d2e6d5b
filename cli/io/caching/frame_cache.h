// Decoded frames of a render, keyed by frame number. A render moves forward
// through a sequence with a window of frames around the current one; the
// cache keeps the frames the window still needs, so each file is decoded
// once. Frames are decoded by a pool of threads of the cache's own, the next
// window's while the current one is being filtered, and a thread that waits
// for a frame decodes others meanwhile instead of idling. Frames beyond the
// memory budget are kept out of memory by a spiller (a scratch folder) when
// there is one.
#pragma once

#include "io/core_share.h"
#include "io/reading/decoded_frame.h"

#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace taviron::cli {

class FrameCache {
public:
    // Gives a frame, or nullptr when there is none; may throw. Called from
    // several threads at once.
    using Decoder = std::function<std::shared_ptr<const DecodedFrame>(int frame)>;
    // The same frame with its pixels out of memory; may throw.
    using Spiller = std::function<std::shared_ptr<const DecodedFrame>(const DecodedFrame& frame)>;

    // Without a spiller, the frames of the window stay in memory even beyond
    // the budget. `decoders` threads decode frames asked ahead; with `cores`,
    // every decode waits for a turn of it.
    FrameCache(Decoder decoder, size_t budgetBytes, Spiller spiller = nullptr, unsigned decoders = 1,
               CoreShare* cores = nullptr);
    ~FrameCache();
    FrameCache(const FrameCache&) = delete;
    FrameCache& operator=(const FrameCache&) = delete;

    // The frame, decoded here unless it is ready or being decoded; nullptr
    // when there is no such frame. Rethrows the decoder's error. While
    // another thread decodes it, this one decodes frames asked ahead.
    std::shared_ptr<const DecodedFrame> Get(int frame);
    // Makes [first, last] the window in use: frames before it are dropped for
    // good and every frame of it is decoded, on this thread and the pool's.
    void Hold(int first, int last);
    // Decodes the frames of [first, last] on the pool's threads, as far as
    // the budget allows.
    void Prefetch(int first, int last);
    // Drops frames, furthest ahead first, until the budget is kept.
    void Trim();

private:
    struct Entry {
        bool ready = false;
        std::shared_ptr<const DecodedFrame> frame;
        std::exception_ptr error;
        size_t bytes = 0;
    };

    bool TakeWanted(int& frame);
    void Decode(int frame, std::unique_lock<std::mutex>& lock, CoreShare::Turn turn);
    bool TakeMemory(size_t bytes);
    void DecodeLoop();

    Decoder decoder_;
    size_t budget_;
    Spiller spiller_;
    CoreShare* cores_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Entry> entries_;
    std::deque<int> wanted_;
    size_t bytes_ = 0;
    size_t lastFrameBytes_ = 0;
    unsigned decoding_ = 0;
    // Frames before it have left the window for good.
    int heldFrom_ = INT_MIN;
    bool stopping_ = false;
    std::vector<std::thread> decoders_;
};

}  // namespace taviron::cli
