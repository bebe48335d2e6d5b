#include "commands/track_gaps.h"

#include "commands/frames_read.h"
#include "errors.h"
#include "frame_ranges.h"

#include <filesystem>

namespace taviron::cli {

TrackGaps::TrackGaps(std::string trackPath, const TrackData& track, const FramePattern& input,
                     taviron::WindowOffsets read)
    : trackPath_(std::move(trackPath)), input_(input), read_(read) {
    for (const auto& entry : track) tracked_.insert(entry.first);
}

void TrackGaps::RequirePointsFor(const std::vector<int>& frames) const {
    std::set<int> rendered;
    for (int frame : frames) {
        const FrameSpan span = InputFramesOf(frame, read_);
        const auto point = tracked_.lower_bound(span.first);
        if (point != tracked_.end() && *point <= span.last) return;
        rendered.insert(frame);
    }
    throw InputError("the track file " + trackPath_ + " has no point for frames " + RangesText(rendered) +
                     " or the frames their windows read; its points are for frames " + RangesText(tracked_));
}

std::set<int> TrackGaps::MissingFor(int frame) const {
    std::set<int> missing;
    const FrameSpan span = InputFramesOf(frame, read_);
    for (int64_t k = span.first; k <= span.last; ++k) {
        const int neighbour = static_cast<int>(k);
        if (tracked_.count(neighbour)) continue;
        std::error_code error;
        if (neighbour == frame || !input_.IsSequence() || std::filesystem::exists(input_.PathOf(neighbour), error))
            missing.insert(neighbour);
    }
    return missing;
}

}  // namespace taviron::cli
