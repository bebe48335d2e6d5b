// Writes finished frames on a thread of its own, so the filter never waits
// for compression. The queue is short: a render that outruns the disk waits
// instead of piling frames up in memory.
#pragma once

#include "decoded_frame.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

struct WriteJob {
    std::string path;
    Ref<Image> image;
    std::shared_ptr<const FrameFormat> format;
    std::shared_ptr<const std::vector<float>> extras;
    OIIO::TypeDesc type;
};

class WriteQueue {
public:
    explicit WriteQueue(size_t capacity);
    // Drops what was not written yet.
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Waits while the queue is full. Throws the error of an earlier write.
    void Push(WriteJob job);
    // Waits until every frame is written; throws the first write error.
    void Finish();

private:
    void WriteLoop();
    void RethrowError();

    size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WriteJob> jobs_;
    bool writing_ = false;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::thread writer_;
};
