#include "write_queue.h"

#include "frame_file_writer.h"

WriteQueue::WriteQueue(size_t capacity) : capacity_(capacity), writer_([this] { WriteLoop(); }) {}

WriteQueue::~WriteQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    changed_.notify_all();
    writer_.join();
}

void WriteQueue::Push(WriteJob job) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.size() < capacity_ || error_; });
    RethrowError();
    jobs_.push_back(std::move(job));
    changed_.notify_all();
}

void WriteQueue::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (jobs_.empty() && !writing_) || error_; });
    RethrowError();
}

void WriteQueue::RethrowError() {
    if (error_) std::rethrow_exception(error_);
}

void WriteQueue::WriteLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        WriteJob job = std::move(jobs_.front());
        jobs_.pop_front();
        writing_ = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            WriteFrameFile(job.path, *job.image, *job.format, job.extras.get(), job.type);
        } catch (...) {
            error = std::current_exception();
        }
        job = WriteJob{};  // frees the frame outside the lock
        lock.lock();
        writing_ = false;
        if (error && !error_) {
            error_ = error;
            jobs_.clear();
        }
        changed_.notify_all();
    }
}
