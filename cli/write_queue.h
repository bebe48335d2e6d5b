// Writes finished frames on threads of their own, so the filter never waits
// for compression, and with one writer per core compression keeps up with it.
// The queue is short: a render that outruns the disk waits instead of piling
// frames up in memory.
#pragma once

#include "frame_file_writer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class WriteQueue {
public:
    WriteQueue(size_t writers, size_t capacity);
    // Drops what was not written yet.
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Waits while the queue is full. Throws the error of an earlier write.
    void WaitForRoom();
    void Push(std::unique_ptr<PendingFrameFile> file);
    // Waits until every frame is written; throws the first write error.
    void Finish();

private:
    void WaitForRoom(std::unique_lock<std::mutex>& lock);
    void WriteLoop();

    size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<PendingFrameFile>> files_;
    size_t writing_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::vector<std::thread> writers_;
};
