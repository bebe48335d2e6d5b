// The frames of one file pattern, read on demand. A single file stands for
// every frame and is read once.
#pragma once

#include "io/reading/channel_agreement.h"
#include "io/frame_pattern.h"
#include "io/reading/frame_reader.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace taviron::cli {

class SequenceReader {
public:
    SequenceReader(FramePattern pattern, FrameRole role);

    // The frame, or nullptr when its file does not exist. Throws an input
    // error when it exists but cannot be read, or has other channels than
    // the sequence's first frame read.
    std::shared_ptr<const DecodedFrame> Read(int frame);
    std::string PathOf(int frame) const { return pattern_.PathOf(frame); }
    // Files decoded so far.
    size_t FilesRead() const { return filesRead_.load(); }

private:
    std::shared_ptr<const DecodedFrame> Decode(const std::string& path);

    FramePattern pattern_;
    FrameRole role_;
    std::atomic<size_t> filesRead_{0};
    ChannelAgreement channels_;
    std::mutex stillMutex_;
    std::shared_ptr<const DecodedFrame> still_;
};

}  // namespace taviron::cli
