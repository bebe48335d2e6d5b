#include <hostsdk/operator.h>
#include <hostsdk/registry.h>
#include <hostsdk/request.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A ThreadedOperator whose chunks run a test's function.
class ChunkOperator : public ThreadedOperator {
public:
    explicit ChunkOperator(std::function<void(long)> chunk)
        : ThreadedOperator(nullptr, ScriptVal{}, TagList()), chunk_(std::move(chunk)) {}

    void ProcessChunk(Request* /*req*/, long chunk) override { chunk_(chunk); }

    void Run(long count) {
        Request request(this, 0.0);
        DoMultiProcess(&request, count);
    }

private:
    std::function<void(long)> chunk_;
};

// Counts how often each chunk ran.
class HitCounter {
public:
    explicit HitCounter(long count) : hits_(new std::atomic<int>[count]), count_(count) {
        for (long i = 0; i < count; ++i) {
            hits_[i] = 0;
        }
    }
    void Hit(long chunk) { hits_[chunk].fetch_add(1); }
    bool EveryChunk(int times) const {
        for (long i = 0; i < count_; ++i) {
            if (hits_[i].load() != times) {
                return false;
            }
        }
        return true;
    }

private:
    std::unique_ptr<std::atomic<int>[]> hits_;
    long count_;
};

// A one-shot signal that a waiting chunk gives up on after a while, so a
// broken pool fails the test instead of hanging it.
class Signal {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    bool Await() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace

TEST(DoMultiProcess, RunsEveryChunkExactlyOnce) {
    SetWorkerThreadCount(4);
    constexpr long count = 5000;
    HitCounter hits(count);
    ChunkOperator op([&hits](long chunk) { hits.Hit(chunk); });
    op.Run(count);
    EXPECT_TRUE(hits.EveryChunk(1));
}

TEST(DoMultiProcess, RunsChunksSeveralAtATime) {
    SetWorkerThreadCount(2);
    Signal first;
    Signal second;
    std::atomic<bool> together{true};
    // Each of the two chunks waits for the other to have started.
    ChunkOperator op([&](long chunk) {
        (chunk == 0 ? first : second).Raise();
        if (!(chunk == 0 ? second : first).Await()) {
            together = false;
        }
    });
    op.Run(2);
    EXPECT_TRUE(together);
}

TEST(DoMultiProcess, OneThreadRunsEverythingOnTheCaller) {
    SetWorkerThreadCount(0);  // taken as one
    EXPECT_EQ(WorkerThreadCount(), 1u);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    ChunkOperator op([&](long) {
        if (std::this_thread::get_id() != caller) {
            ++elsewhere;
        }
    });
    op.Run(200);
    EXPECT_EQ(elsewhere, 0);
}

TEST(DoMultiProcess, NoChunksNoCalls) {
    SetWorkerThreadCount(2);
    std::atomic<int> calls{0};
    ChunkOperator op([&calls](long) { ++calls; });
    op.Run(0);
    op.Run(-5);
    EXPECT_EQ(calls, 0);
}

TEST(DoMultiProcess, RunsForSeveralCallersAtOnce) {
    SetWorkerThreadCount(3);
    constexpr long count = 2000;
    constexpr int rounds = 4;
    HitCounter hitsA(count);
    HitCounter hitsB(count);
    ChunkOperator opA([&hitsA](long chunk) { hitsA.Hit(chunk); });
    ChunkOperator opB([&hitsB](long chunk) { hitsB.Hit(chunk); });
    const auto runRounds = [](ChunkOperator& op) {
        for (int round = 0; round < rounds; ++round) {
            op.Run(count);
        }
    };
    std::thread callerA(runRounds, std::ref(opA));
    std::thread callerB(runRounds, std::ref(opB));
    callerA.join();
    callerB.join();
    EXPECT_TRUE(hitsA.EveryChunk(rounds));
    EXPECT_TRUE(hitsB.EveryChunk(rounds));
}

TEST(DoMultiProcess, ChunkFailureOnAWorkerReachesTheCaller) {
    SetWorkerThreadCount(2);
    // The caller always starts with chunk 0, so chunk 1 runs on the worker.
    Signal failed;
    std::atomic<long> started{0};
    // The chunks after it are slow: running them all would take the worker
    // seconds to record its failure, on the most loaded machine.
    ChunkOperator op([&](long chunk) {
        ++started;
        if (chunk == 1) {
            failed.Raise();
            throw std::runtime_error("chunk 1 failed");
        }
        if (chunk == 0) failed.Await();
        else std::this_thread::sleep_for(2ms);
    });
    EXPECT_THROW(op.Run(1000), std::runtime_error);
    EXPECT_LT(started, 1000);  // the chunks not yet started were skipped
}

TEST(DoMultiProcess, FirstChunkFailureIsTheOneRethrown) {
    SetWorkerThreadCount(2);
    std::atomic<bool> firstThrown{false};
    ChunkOperator op([&](long chunk) {
        if (chunk == 0) {
            firstThrown = true;
            throw std::runtime_error("first");
        }
        if (chunk == 1) {
            while (!firstThrown) {
                std::this_thread::yield();
            }
            std::this_thread::sleep_for(200ms);  // the first failure is recorded meanwhile, however loaded the machine
            throw std::runtime_error("second");
        }
    });
    try {
        op.Run(2);
        ADD_FAILURE() << "no failure reached the caller";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "first");
    }
}

TEST(DoMultiProcess, RethrowsOnlyAfterRunningChunksFinished) {
    SetWorkerThreadCount(2);
    Signal slowStarted;
    std::atomic<bool> slowFinished{false};
    std::atomic<long> started{0};
    ChunkOperator op([&](long chunk) {
        ++started;
        if (chunk == 0) {  // on the caller
            slowStarted.Await();
            throw std::logic_error("chunk 0 failed");
        }
        if (chunk == 1) {  // on the worker
            slowStarted.Raise();
            std::this_thread::sleep_for(200ms);  // the caller's failure is recorded meanwhile, however loaded the machine
            slowFinished = true;
        }
    });
    bool caught = false;
    try {
        op.Run(1000);
    } catch (const std::logic_error& error) {
        caught = true;
        EXPECT_STREQ(error.what(), "chunk 0 failed");
        EXPECT_TRUE(slowFinished);
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(started, 2);

    constexpr long count = 500;  // the pool still works
    HitCounter hits(count);
    ChunkOperator after([&hits](long chunk) { hits.Hit(chunk); });
    after.Run(count);
    EXPECT_TRUE(hits.EveryChunk(1));
}

TEST(DoMultiProcess, ChunkMayRunItsOwnMultiProcess) {
    SetWorkerThreadCount(2);
    constexpr long outer = 4;
    constexpr long inner = 50;
    HitCounter hits(outer * inner);
    ChunkOperator outerOp([&hits](long chunk) {
        ChunkOperator rows([&hits, chunk](long row) { hits.Hit(chunk * inner + row); });
        rows.Run(inner);
    });
    outerOp.Run(outer);
    EXPECT_TRUE(hits.EveryChunk(1));
}
