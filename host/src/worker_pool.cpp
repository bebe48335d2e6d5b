#include "worker_pool.h"

#include <algorithm>
#include <system_error>
#include <thread>

// One Run in progress. It lives on the stack of the thread that called Run;
// every field is guarded by the pool's mutex.
struct WorkerPool::Job {
    const ChunkWork* work;
    long count;
    long next = 0;  // first chunk not yet handed out
    long running = 0;
    std::exception_ptr failure;
    std::condition_variable finished;
};

WorkerPool& WorkerPool::Instance() {
    // Never destroyed, and its threads never joined: at process exit on
    // Windows the threads are already gone when static destructors run, so
    // joining them there would hang.
    static WorkerPool* pool = new WorkerPool;
    return *pool;
}

WorkerPool::WorkerPool() : threadCount_(std::max(1u, std::thread::hardware_concurrency())) {}

void WorkerPool::SetThreadCount(unsigned count) {
    std::lock_guard<std::mutex> lock(mutex_);
    threadCount_ = std::max(1u, count);
    wake_.notify_all();  // threads beyond the new count go idle
}

unsigned WorkerPool::ThreadCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadCount_;
}

void WorkerPool::Run(long count, const ChunkWork& work) {
    if (count <= 0) {
        return;
    }
    Job job;
    job.work = &work;
    job.count = count;

    std::unique_lock<std::mutex> lock(mutex_);
    StartThreads();
    queue_.push_back(&job);
    wake_.notify_all();
    long chunk = 0;
    while (TakeChunk(job, chunk)) {
        RunChunk(job, chunk, lock);
    }
    job.finished.wait(lock, [&job] { return job.running == 0; });
    if (job.failure) {
        std::rethrow_exception(job.failure);
    }
}

// Called with the mutex held.
void WorkerPool::StartThreads() {
    while (poolThreads_ + 1 < threadCount_) {
        try {
            const unsigned index = poolThreads_;
            std::thread([this, index] { WorkerMain(index); }).detach();
        } catch (const std::system_error&) {
            return;  // the threads there are, and the caller, do the work
        }
        ++poolThreads_;
    }
}

// Pool thread `index` works while the wanted count includes it, and idles
// otherwise. Threads never exit: a thread ending while the process ends gets
// the whole process killed on some systems.
void WorkerPool::WorkerMain(unsigned index) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this, index] { return !queue_.empty() && index + 1 < threadCount_; });
        // Runs take turns, so that concurrent requests all progress.
        Job& job = *queue_.front();
        queue_.pop_front();
        long chunk = 0;
        TakeChunk(job, chunk);
        if (job.next < job.count) {
            queue_.push_back(&job);
        }
        RunChunk(job, chunk, lock);
    }
}

// Called with the mutex held.
bool WorkerPool::TakeChunk(Job& job, long& chunk) {
    if (job.next >= job.count) {
        return false;
    }
    chunk = job.next++;
    ++job.running;
    if (job.next == job.count) {
        Withdraw(job);
    }
    return true;
}

// Called with the mutex held; releases it while the chunk runs.
void WorkerPool::RunChunk(Job& job, long chunk, std::unique_lock<std::mutex>& lock) {
    std::exception_ptr failure;
    lock.unlock();
    try {
        (*job.work)(chunk);
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    --job.running;
    if (failure && !job.failure) {
        job.failure = failure;
        job.next = job.count;  // chunks not yet started are skipped
        Withdraw(job);
    }
    if (job.next >= job.count && job.running == 0) {
        job.finished.notify_all();  // the caller may return and `job` vanish once we unlock
    }
}

// Called with the mutex held.
void WorkerPool::Withdraw(Job& job) {
    const auto found = std::find(queue_.begin(), queue_.end(), &job);
    if (found != queue_.end()) {
        queue_.erase(found);
    }
}
