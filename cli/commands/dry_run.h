// `render --dry-run`: what a render would read, write and skip, and its
// window, printed without decoding or writing anything, and the status the
// render would end with for the files that are not there.
#pragma once

#include "errors.h"
#include "io/frame_pattern.h"
#include "commands/render_plan.h"
#include "commands/track_gaps.h"

#include <optional>
#include <vector>

namespace taviron::cli {

struct DryRunPlan {
    const FramePattern& input;
    const FramePattern& output;
    const std::optional<FramePattern>& mask;
    const std::vector<int>& frames;
    taviron::WindowOffsets window;  // the offsets each request reads
    bool skipExisting = false;
    const TrackGaps* trackGaps = nullptr;  // when the tool uses a track's points
};

// 2 when a frame of the range lacks its input file, mask file or track
// points, as the render would fail it; else 0.
ExitStatus PrintDryRun(const DryRunPlan& plan);

}  // namespace taviron::cli
