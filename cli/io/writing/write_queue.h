// Writes finished frames on threads of their own, so the filter never waits
// for compression, and with one writer per core compression keeps up with it;
// each write waits for a turn of the cores it shares with the decoders.
// The queue is short: a render that outruns the disk waits instead of piling
// frames up in memory. The first failed write stops the queue: what fails
// one file (a full disk, a folder without permission) fails the next ones.
#pragma once

#include "io/core_share.h"
#include "io/writing/frame_file_writer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace taviron::cli {

class WriteQueue {
public:
    struct Failure {
        int frame;
        std::exception_ptr error;
    };

    // Told of each frame whose file is complete under its own name, on the
    // writer's thread.
    using WrittenCallback = std::function<void(int frame)>;

    // With `cores`, every write waits for a turn of them.
    WriteQueue(size_t writers, size_t capacity, CoreShare* cores = nullptr, WrittenCallback written = nullptr);
    // Drops what was not written yet.
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Waits while the queue is full; false once a write has failed.
    bool WaitForRoom();
    void Push(int frame, std::unique_ptr<PendingFrameFile> file);
    // Waits until every frame is written or dropped after a failure; the
    // failed writes, in the order they failed.
    std::vector<Failure> Finish();
    // Frames whose file is complete; read after Finish.
    const std::set<int>& Written() const { return written_; }

private:
    bool WaitForRoom(std::unique_lock<std::mutex>& lock);
    void WriteLoop();

    size_t capacity_;
    CoreShare* cores_;
    WrittenCallback onWritten_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<int, std::unique_ptr<PendingFrameFile>>> files_;
    size_t writing_ = 0;
    bool stopping_ = false;
    std::vector<Failure> failures_;
    std::set<int> written_;
    std::vector<std::thread> writers_;
};

}  // namespace taviron::cli
