// What a render will do, worked out before any file is written: the frames to
// render, the window each needs, the output's pixel type, the memory budget.
// It is what --dry-run prints, what the overwrite check guards and what a
// farm's chunk of the range amounts to.
#pragma once

#include "io/frame_pattern.h"
#include "commands/render_options.h"
#include "commands/track_gaps.h"
#include "hosting/plugin_session.h"

#include <contract/request_window.h>
#include <hostsdk/operator.h>

#include <OpenImageIO/typedesc.h>

#include <optional>
#include <vector>

namespace taviron::cli {

class RenderPlan {
public:
    // Sets the tool's controls and connects the track; then works out the
    // frames and the window, and refuses whatever would fail or overwrite
    // before anything is written.
    RenderPlan(PluginSession& session, const RenderOptions& options);
    // Track gaps refer to the plan's own input.
    RenderPlan(const RenderPlan&) = delete;
    RenderPlan& operator=(const RenderPlan&) = delete;

    FramePattern input;
    FramePattern output;
    std::optional<FramePattern> mask;
    OIIO::TypeDesc requestedType;  // UNKNOWN: the input's
    size_t budget;                 // bytes of decoded frames held in memory
    std::vector<int> frames;
    taviron::WindowOffsets window{};     // the offsets each request reads
    std::optional<TrackGaps> trackGaps;  // when the tool uses a track's points
};

// What decoded frames may take of the memory when --cache-mb is not given: a
// quarter of the machine's.
size_t DefaultCacheBudgetBytes();
// The bytes of --cache-mb, or else the default.
size_t CacheBudgetBytes(std::optional<double> megabytes);

// Throws a usage error when the input names one file and the window, which
// would hold that file alone, reaches beyond the current frame: a filter
// asked for would be a silent copy. `read` is the offsets each request reads.
void RequireSequenceInput(const FramePattern& input, taviron::WindowOffsets read);

// Throws a usage error when an output file of `frames` would be one of the
// files the render reads; `read` is the offsets each request reads.
void RefuseOverwritingInputs(const FramePattern& output, const std::vector<int>& frames, const FramePattern& input,
                             taviron::WindowOffsets read, const std::optional<FramePattern>& mask,
                             const std::string& trackFile);

}  // namespace taviron::cli
