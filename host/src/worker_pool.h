// The host's worker pool, shared by every ThreadedOperator of the process.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

class WorkerPool {
public:
    using ChunkWork = std::function<void(long chunk)>;

    // The process's pool. Its threads start on first use.
    static WorkerPool& Instance();

    // Threads that work on a run, counting the thread that calls Run.
    void SetThreadCount(unsigned count);
    unsigned ThreadCount();

    // Calls work(i) once for every i in 0 .. count - 1, on the pool's threads
    // and the calling one, and returns after the last. The first exception of
    // a chunk cancels the chunks not yet started and is rethrown here once
    // the running ones have finished.
    void Run(long count, const ChunkWork& work);

private:
    struct Job;

    WorkerPool();
    void StartThreads();
    void WorkerMain(unsigned index);
    bool TakeChunk(Job& job, long& chunk);
    void RunChunk(Job& job, long chunk, std::unique_lock<std::mutex>& lock);
    void Withdraw(Job& job);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job*> queue_;    // runs with chunks not yet handed out
    unsigned threadCount_;      // wanted, counting the caller
    unsigned poolThreads_ = 0;  // started; they never exit
};
