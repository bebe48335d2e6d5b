#include "hosting/sources.h"

#include <hostsdk/parameter.h>

#include <climits>
#include <cmath>

namespace taviron::cli {

bool FrameAtTime(double time, int& frame) {
    if (!(std::floor(time) == time) || time < INT_MIN || time > INT_MAX) return false;
    frame = static_cast<int>(time);
    return true;
}

Parameter* SequenceSource::Fetch(double time) {
    int frame = 0;
    if (!FrameAtTime(time, frame)) return nullptr;
    try {
        const auto decoded = cache_->Get(frame);
        return decoded ? decoded->image.NewReference() : nullptr;
    } catch (...) {
        if (!error_) error_ = std::current_exception();
        return nullptr;
    }
}

void SequenceSource::RethrowError() {
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

Parameter* MemoryClipSource::Fetch(double time) {
    int frame = 0;
    if (!FrameAtTime(time, frame)) return nullptr;
    const auto found = frames_.find(frame);
    return found == frames_.end() ? nullptr : found->second.NewReference();
}

Parameter* TrackSource::Fetch(double time) {
    int frame = 0;
    if (!FrameAtTime(time, frame)) return nullptr;
    const auto found = track_.find(frame);
    return found == track_.end() ? nullptr : new Point(found->second.x, found->second.y);
}

}  // namespace taviron::cli
