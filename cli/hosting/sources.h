// What the command line connects to the tool's inputs: frames of a sequence,
// frames held in memory, and the points of a track file.
#pragma once

#include "io/caching/frame_cache.h"
#include "hosting/track_file.h"

#include <hostsdk/host_ref.h>
#include <hostsdk/link.h>

#include <exception>
#include <map>
#include <memory>

namespace taviron::cli {

// The whole frame number at `time`; false for a time between frames.
bool FrameAtTime(double time, int& frame);

// Frames of a sequence through its cache. A decoding error cannot travel
// through the tool, so it is kept for the caller of Process to rethrow.
class SequenceSource : public Source {
public:
    explicit SequenceSource(std::shared_ptr<FrameCache> cache) : cache_(std::move(cache)) {}
    Parameter* Fetch(double time) override;
    void RethrowError();

private:
    std::shared_ptr<FrameCache> cache_;
    std::exception_ptr error_;
};

class MemoryClipSource : public Source {
public:
    explicit MemoryClipSource(std::map<int, taviron::HostRef<Image>> frames) : frames_(std::move(frames)) {}
    Parameter* Fetch(double time) override;

private:
    std::map<int, taviron::HostRef<Image>> frames_;
};

class TrackSource : public Source {
public:
    explicit TrackSource(TrackData track) : track_(std::move(track)) {}
    Parameter* Fetch(double time) override;

private:
    TrackData track_;
};

}  // namespace taviron::cli
