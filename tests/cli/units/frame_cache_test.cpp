// The frame cache: frames decoded once while the window fits, prefetching
// that keeps to the memory budget.
#include "io/frame_cache.h"

#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace taviron::cli {
namespace {

using namespace std::chrono_literals;

constexpr int32_t kSide = 16;

class CountingDecoder {
public:
    std::shared_ptr<const DecodedFrame> operator()(int /*frame*/) {
        ++decoded;
        auto frame = std::make_shared<DecodedFrame>();
        frame->image = taviron::HostRef<Image>(new Image(kSide, kSide));
        return frame;
    }
    std::atomic<int> decoded{0};
};

size_t FrameBytes() {
    CountingDecoder decoder;
    return decoder(0)->Bytes();
}

// Waits until `count` stops changing for a while; a prefetch beyond the budget
// would have decoded in far less.
int SettledCount(const std::atomic<int>& count) {
    int last = count;
    for (int quiet = 0; quiet < 10;) {
        std::this_thread::sleep_for(20ms);
        const int now = count;
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
    return last;
}

TEST(FrameCache, EachFrameIsDecodedOnceWhileHeld) {
    auto decoder = std::make_shared<CountingDecoder>();
    FrameCache cache([decoder](int frame) { return (*decoder)(frame); }, 10 * FrameBytes());
    cache.Hold(0, 4);
    cache.Hold(1, 5);
    for (int frame = 1; frame <= 5; ++frame) cache.Get(frame);
    EXPECT_EQ(decoder->decoded, 6);
}

// The cache's thread is late (busy with a slow frame) while the window moves
// on: the frames it was asked for meanwhile were decoded here and have left
// the window, so it does not decode them again.
TEST(FrameCache, FramesThatLeftTheWindowAreNotDecodedAgainByALatePrefetch) {
    auto decoder = std::make_shared<CountingDecoder>();
    FrameCache cache(
        [decoder](int frame) {
            if (frame == 100) std::this_thread::sleep_for(300ms);
            return (*decoder)(frame);
        },
        100 * FrameBytes());
    cache.Prefetch(100, 100);
    std::this_thread::sleep_for(50ms);
    cache.Hold(0, 3);
    cache.Hold(10, 12);
    cache.Get(100);
    EXPECT_EQ(SettledCount(decoder->decoded), 8) << "frame 100, 0 to 3 and 10 to 12, each once";
}

TEST(FrameCache, PrefetchKeepsToTheBudget) {
    auto decoder = std::make_shared<CountingDecoder>();
    FrameCache cache([decoder](int frame) { return (*decoder)(frame); }, 3 * FrameBytes());
    cache.Hold(0, 1);
    cache.Prefetch(2, 20);
    EXPECT_EQ(SettledCount(decoder->decoded), 3) << "room for one frame more than the two held";
}

}  // namespace
}  // namespace taviron::cli
