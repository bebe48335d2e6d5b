// Which track points a render's requests use, and which the track lacks. The
// tool takes the current frame's point and the point of every frame of its
// window that has an image; a request without one of them samples that frame
// undisplaced, a wrong picture, so its output fails instead.
#pragma once

#include "hosting/track_file.h"
#include "io/frame_pattern.h"

#include <contract/request_window.h>

#include <set>
#include <string>
#include <vector>

namespace taviron::cli {

class TrackGaps {
public:
    // `read`: the offsets each request reads, as ReadOffsetsOf gives them.
    TrackGaps(std::string trackPath, const TrackData& track, const FramePattern& input, taviron::WindowOffsets read);

    // Refuses (an input error) a track without a point for any frame that
    // the requests of `frames` read: frame numbers of another count, say.
    void RequirePointsFor(const std::vector<int>& frames) const;

    // The frames whose point the request for `frame` uses and the track
    // lacks; frames of the window without an input file are left out of the
    // window, and need none.
    std::set<int> MissingFor(int frame) const;

    const std::string& TrackPath() const { return trackPath_; }

private:
    std::string trackPath_;
    std::set<int> tracked_;
    const FramePattern& input_;
    taviron::WindowOffsets read_;
};

}  // namespace taviron::cli
