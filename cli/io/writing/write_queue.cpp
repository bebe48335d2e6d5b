#include "io/writing/write_queue.h"

namespace taviron::cli {

WriteQueue::WriteQueue(size_t writers, size_t capacity, CoreShare* cores, WrittenCallback written)
    : capacity_(capacity), cores_(cores), onWritten_(std::move(written)) {
    for (size_t i = 0; i < writers; ++i) writers_.emplace_back([this] { WriteLoop(); });
}

WriteQueue::~WriteQueue() {
    std::deque<std::pair<int, std::unique_ptr<PendingFrameFile>>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropped.swap(files_);
    }
    changed_.notify_all();
    for (std::thread& writer : writers_) writer.join();
}

bool WriteQueue::WaitForRoom() {
    std::unique_lock<std::mutex> lock(mutex_);
    return WaitForRoom(lock);
}

void WriteQueue::Push(int frame, std::unique_ptr<PendingFrameFile> file) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!WaitForRoom(lock)) return;
    files_.emplace_back(frame, std::move(file));
    changed_.notify_all();
}

bool WriteQueue::WaitForRoom(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return files_.size() < capacity_ || !failures_.empty(); });
    return failures_.empty();
}

std::vector<WriteQueue::Failure> WriteQueue::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return files_.empty() && writing_ == 0; });
    return failures_;
}

void WriteQueue::WriteLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !files_.empty(); });
        if (stopping_) return;
        auto [frame, file] = std::move(files_.front());
        files_.pop_front();
        ++writing_;
        changed_.notify_all();  // room for the next frame
        lock.unlock();
        std::exception_ptr error;
        try {
            const CoreShare::Turn turn = cores_ ? cores_->Take() : CoreShare::Turn();
            file->Write();
        } catch (...) {
            error = std::current_exception();
        }
        file.reset();  // frees the pixels outside the lock
        if (!error && onWritten_) onWritten_(frame);
        decltype(files_) dropped;
        lock.lock();
        --writing_;
        if (error) {
            failures_.push_back({frame, error});
            dropped.swap(files_);
        } else {
            written_.insert(frame);
        }
        changed_.notify_all();
        if (!dropped.empty()) {
            lock.unlock();
            dropped.clear();  // their pixels go outside the lock
            lock.lock();
        }
    }
}

}  // namespace taviron::cli
