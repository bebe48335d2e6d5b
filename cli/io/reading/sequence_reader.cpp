#include "io/reading/sequence_reader.h"

#include <filesystem>

namespace taviron::cli {

SequenceReader::SequenceReader(FramePattern pattern, FrameRole role) : pattern_(std::move(pattern)), role_(role) {}

std::shared_ptr<const DecodedFrame> SequenceReader::Read(int frame) {
    if (pattern_.IsSequence()) return Decode(pattern_.PathOf(frame));
    std::lock_guard<std::mutex> lock(stillMutex_);
    if (!still_) still_ = Decode(pattern_.PathOf(0));
    return still_;
}

std::shared_ptr<const DecodedFrame> SequenceReader::Decode(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return nullptr;
    auto frame = ReadFrame(path, role_);
    // Once per frame, so that a plane that is one value throughout (a
    // filled alpha) is not filtered for every window that holds the frame.
    frame->image->FindUniformPlanes();
    if (pattern_.IsSequence()) channels_.Check(path, *frame);
    ++filesRead_;
    return frame;
}

}  // namespace taviron::cli
