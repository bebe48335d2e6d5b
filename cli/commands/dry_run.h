// `render --dry-run`: what a render would read, write and skip, and its
// window, printed without decoding or writing anything.
#pragma once

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

void PrintDryRun(const DryRunPlan& plan);

}  // namespace taviron::cli
