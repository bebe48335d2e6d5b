// The frame cache: frames decoded once while the window fits, prefetching
// that keeps to the memory budget, decoding on every core, and the render's
// calls racing the cache's own decoding threads (run under the thread
// sanitizer too).
#include "errors.h"
#include "io/caching/frame_cache.h"

#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace taviron::cli {
namespace {

using namespace std::chrono_literals;

constexpr int32_t kSide = 16;
constexpr int kNoFrame = INT_MIN;

// Frames whose pixels carry their frame number; `failing` cannot be read.
class CountingDecoder {
public:
    explicit CountingDecoder(int failing = kNoFrame, std::chrono::microseconds delay = 0us)
        : failing_(failing), delay_(delay) {}

    std::shared_ptr<const DecodedFrame> operator()(int frame) {
        ++decoded;
        std::this_thread::sleep_for(delay_);
        if (frame == failing_) throw InputError("frame " + std::to_string(frame) + " is broken");
        auto decodedFrame = std::make_shared<DecodedFrame>();
        decodedFrame->image = taviron::HostRef<Image>(new Image(kSide, kSide));
        FltPixel pixel;
        pixel.R = static_cast<float>(frame);
        decodedFrame->image->Fill(pixel);
        return decodedFrame;
    }
    std::atomic<int> decoded{0};

private:
    int failing_;
    std::chrono::microseconds delay_;
};

FrameCache::Decoder DecoderOf(const std::shared_ptr<CountingDecoder>& decoder) {
    return [decoder](int frame) { return (*decoder)(frame); };
}

size_t FrameBytes() {
    CountingDecoder decoder;
    return decoder(0)->Bytes();
}

float FrameNumberIn(const DecodedFrame& frame) {
    FltPixel pixel;
    frame.image->GetPixel(kSide - 1, kSide - 1, pixel);
    return pixel.R;
}

// A copy of the frame, standing in for a scratch folder.
std::shared_ptr<const DecodedFrame> KeptAside(const DecodedFrame& frame) {
    auto kept = std::make_shared<DecodedFrame>();
    kept->image = taviron::HostRef<Image>(new Image(kSide, kSide));
    FltPixel pixel;
    frame.image->GetPixel(0, 0, pixel);
    kept->image->Fill(pixel);
    return kept;
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
    FrameCache cache(DecoderOf(decoder), 10 * FrameBytes());
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
    FrameCache cache(DecoderOf(decoder), 3 * FrameBytes());
    cache.Hold(0, 1);
    cache.Prefetch(2, 20);
    EXPECT_EQ(SettledCount(decoder->decoded), 3) << "room for one frame more than the two held";
}

// The render's walk: hold the window, prefetch the next one, get the frame,
// trim, while the cache's thread decodes what was asked ahead. Every frame
// got is the frame asked for, in memory or kept aside beyond the budget.
void WalkThroughASequence(FrameCache& cache, int frames, int before, int after) {
    for (int frame = 0; frame < frames; ++frame) {
        cache.Hold(frame - before, frame + after);
        cache.Prefetch(frame + 1 - before, frame + 1 + after);
        for (int sample = frame - before; sample <= frame + after; ++sample) {
            const auto decoded = cache.Get(sample);
            ASSERT_NE(decoded, nullptr);
            ASSERT_EQ(FrameNumberIn(*decoded), static_cast<float>(sample)) << "frame " << frame;
        }
        cache.Trim();
    }
}

TEST(FrameCache, PrefetchRacingTrimAndGetGivesEveryFrameItsOwnPixels) {
    for (const bool withSpiller : {false, true}) {
        SCOPED_TRACE(withSpiller ? "frames beyond the budget kept aside" : "frames in memory only");
        auto decoder = std::make_shared<CountingDecoder>(kNoFrame, 200us);
        FrameCache cache(DecoderOf(decoder), 3 * FrameBytes(),
                         withSpiller ? FrameCache::Spiller(KeptAside) : FrameCache::Spiller());
        WalkThroughASequence(cache, 40, 2, 2);
    }
}

// Budgets of 2 to 5 frames under a window of 9 that moves through 60
// frames, with frames beyond the budget kept aside: each frame is decoded
// once, no more frames than the budget (and the one the cache's thread is
// decoding) are in memory at any step, and the room a frame leaves behind
// when it leaves the window serves the frames after it.
TEST(FrameCache, ABudgetOfAFewFramesIsKeptAndReused) {
    constexpr int kFrames = 60, kBefore = 4, kAfter = 4;
    for (int budgetFrames = 2; budgetFrames <= 5; ++budgetFrames) {
        SCOPED_TRACE("a budget of " + std::to_string(budgetFrames) + " frames");
        auto decoder = std::make_shared<CountingDecoder>();
        auto inMemory = std::make_shared<std::atomic<int>>(0);  // frames of the decoder still alive
        std::atomic<int> keptAside{0};
        FrameCache cache(
            [decoder, inMemory](int frame) {
                std::shared_ptr<const DecodedFrame> made = (*decoder)(frame);
                ++*inMemory;
                return std::shared_ptr<const DecodedFrame>(made.get(), [made, inMemory](const DecodedFrame*) mutable {
                    made.reset();
                    --*inMemory;
                });
            },
            budgetFrames * FrameBytes(),
            [&keptAside](const DecodedFrame& frame) {
                ++keptAside;
                return KeptAside(frame);
            });
        int mostInMemory = 0;
        for (int frame = 0; frame < kFrames; ++frame) {
            cache.Hold(frame - kBefore, frame + kAfter);
            if (frame + 1 < kFrames) cache.Prefetch(frame + 1 - kBefore, frame + 1 + kAfter);
            for (int sample = frame - kBefore; sample <= frame + kAfter; ++sample)
                ASSERT_EQ(FrameNumberIn(*cache.Get(sample)), static_cast<float>(sample));
            mostInMemory = std::max(mostInMemory, inMemory->load());
            cache.Trim();
        }
        const int distinctFrames = kFrames + kBefore + kAfter;
        EXPECT_EQ(decoder->decoded, distinctFrames) << "each frame decoded once";
        EXPECT_LE(mostInMemory, budgetFrames + 1) << "the budget and the frame being decoded";
        // Each frame is in the window for 9 steps: a budget of k frames
        // carries about k of every 9 frames through memory.
        const int throughMemory = distinctFrames - keptAside;
        EXPECT_GE(throughMemory, distinctFrames * (budgetFrames - 1) / 10) << keptAside << " frames kept aside";
    }
}

TEST(FrameCache, BrokenFrameFailsOnlyTheWindowsThatHoldIt) {
    auto decoder = std::make_shared<CountingDecoder>(5, 100us);
    FrameCache cache(DecoderOf(decoder), 8 * FrameBytes());
    std::vector<int> failed;
    for (int frame = 0; frame < 12; ++frame) {
        try {
            cache.Hold(frame - 1, frame + 1);
            cache.Prefetch(frame, frame + 2);
            EXPECT_EQ(FrameNumberIn(*cache.Get(frame)), static_cast<float>(frame));
        } catch (const CliError& error) {
            EXPECT_STREQ(error.what(), "frame 5 is broken");
            failed.push_back(frame);
        }
        cache.Trim();
    }
    EXPECT_EQ(failed, (std::vector<int>{4, 5, 6}));
}

// Frames that record which thread decoded them and how many decodes ran at
// once; each takes a while, as a file does.
class ObservedDecoder {
public:
    std::shared_ptr<const DecodedFrame> operator()(int frame) {
        const int running = ++running_;
        for (int most = mostAtOnce.load(); running > most && !mostAtOnce.compare_exchange_weak(most, running);) {}
        std::this_thread::sleep_for(40ms);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            decodedBy[frame].push_back(std::this_thread::get_id());
        }
        --running_;
        return counting_(frame);
    }
    std::atomic<int> mostAtOnce{0};
    std::map<int, std::vector<std::thread::id>> decodedBy;

private:
    CountingDecoder counting_;
    std::atomic<int> running_{0};
    std::mutex mutex_;
};

FrameCache::Decoder DecoderOf(const std::shared_ptr<ObservedDecoder>& decoder) {
    return [decoder](int frame) { return (*decoder)(frame); };
}

// The thread that holds a window decodes frames of it while the pool's
// thread decodes others, instead of waiting on the frame the pool took.
TEST(FrameCache, TheThreadWaitingForAWindowDecodesToo) {
    auto decoder = std::make_shared<ObservedDecoder>();
    FrameCache cache(DecoderOf(decoder), 100 * FrameBytes(), nullptr, 1);
    cache.Hold(0, 7);
    size_t here = 0;
    for (int frame = 0; frame <= 7; ++frame) {
        ASSERT_EQ(decoder->decodedBy[frame].size(), 1u) << "frame " << frame << " decoded once";
        here += decoder->decodedBy[frame][0] == std::this_thread::get_id();
    }
    EXPECT_GE(here, 2u) << "frames decoded by the thread that waits for them";
}

// However many threads decode, no more frames are decoded at once than the
// cores have turns, while others hold none; and every frame once.
TEST(FrameCache, DecodesOnEveryCoreAndNoMore) {
    auto decoder = std::make_shared<ObservedDecoder>();
    CoreShare cores(2);
    {
        FrameCache cache(DecoderOf(decoder), 100 * FrameBytes(), nullptr, 3, &cores);
        cache.Prefetch(6, 11);
        cache.Hold(0, 11);
    }
    EXPECT_EQ(decoder->mostAtOnce, 2);
    EXPECT_EQ(decoder->decodedBy.size(), 12u);
    for (const auto& [frame, threads] : decoder->decodedBy) EXPECT_EQ(threads.size(), 1u) << "frame " << frame;
}

// A farm task's share of a node is what its CPU affinity allows.
TEST(CoreShare, TaskCoresAreThoseTheAffinityAllows) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned cores = TaskCores();
    sched_setaffinity(0, sizeof all, &all);
    EXPECT_EQ(cores, 1u);
    EXPECT_EQ(TaskCores(), static_cast<unsigned>(CPU_COUNT(&all)));
}

// Each frame takes long enough that decoding them all would take seconds:
// the cache goes after the frame it is on, however slowly this thread runs.
TEST(FrameCache, GoesWhileItsThreadIsStillDecoding) {
    auto decoder = std::make_shared<CountingDecoder>(kNoFrame, 20ms);
    {
        FrameCache cache(DecoderOf(decoder), 100 * FrameBytes());
        cache.Prefetch(0, 99);
        while (decoder->decoded == 0) std::this_thread::yield();
    }
    EXPECT_LT(decoder->decoded, 100) << "the frames not started are given up";
}

}  // namespace
}  // namespace taviron::cli
