#include "commands/frames_read.h"

#include <contract/control_values.h>
#include <contract/tool_ids.h>

#include <algorithm>
#include <climits>

namespace taviron::cli {

taviron::WindowOffsets ReadOffsetsOf(const PluginSession& session) {
    return taviron::RequestWindowOf(session.InputWithID(taviron::link_id::kFrames).Value(),
                                    session.InputWithID(taviron::link_id::kSampleDirection).Value())
        .read;
}

bool TrackPointsUsed(const PluginSession& session) {
    const taviron::RequestWindow window =
        taviron::RequestWindowOf(session.InputWithID(taviron::link_id::kFrames).Value(),
                                 session.InputWithID(taviron::link_id::kSampleDirection).Value());
    const bool gathers = !window.PassesThrough() && window.gathered.first <= window.gathered.last;
    return gathers && taviron::CheckboxOn(session.InputWithID(taviron::link_id::kUseData).Value());
}

FrameSpan InputFramesOf(int frame, taviron::WindowOffsets read) {
    // Offset 0 is always read, so the span is never empty.
    const int64_t first = std::max<int64_t>(int64_t{frame} + read.first, INT_MIN);
    const int64_t last = std::min<int64_t>(int64_t{frame} + read.last, INT_MAX);
    return {static_cast<int>(first), static_cast<int>(last)};
}

std::set<int> InputFramesRead(const std::vector<int>& frames, taviron::WindowOffsets read) {
    std::set<int> inputFrames;
    for (int frame : frames) {
        const FrameSpan span = InputFramesOf(frame, read);
        for (int64_t k = span.first; k <= span.last; ++k) inputFrames.insert(static_cast<int>(k));
    }
    return inputFrames;
}

}  // namespace taviron::cli
