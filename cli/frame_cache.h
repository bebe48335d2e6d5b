// Decoded frames of a render, keyed by frame number. A render moves forward
// through a sequence with a window of frames around the current one; the
// cache keeps the frames the window still needs, so each file is decoded once
// while the window fits the memory budget, and decodes the frames of the next
// window on its own thread while the current one is being filtered.
#pragma once

#include "decoded_frame.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class FrameCache {
public:
    // Gives a frame, or nullptr when there is none; may throw.
    using Decoder = std::function<std::shared_ptr<const DecodedFrame>(int frame)>;

    FrameCache(Decoder decoder, size_t budgetBytes);
    ~FrameCache();
    FrameCache(const FrameCache&) = delete;
    FrameCache& operator=(const FrameCache&) = delete;

    // The frame, decoded here unless it is ready or being decoded; nullptr
    // when there is no such frame. Rethrows the decoder's error.
    std::shared_ptr<const DecodedFrame> Get(int frame);
    // Makes [first, last] the window in use: frames before it are dropped for
    // good and every frame of it is decoded.
    void Hold(int first, int last);
    // Decodes the frames of [first, last] on the cache's thread, as far as the
    // budget allows.
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

    void Decode(int frame, std::unique_lock<std::mutex>& lock);
    void PrefetchLoop();

    Decoder decoder_;
    size_t budget_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Entry> entries_;
    std::deque<int> wanted_;
    size_t bytes_ = 0;
    size_t lastFrameBytes_ = 0;
    bool stopping_ = false;
    std::thread prefetcher_;
};
