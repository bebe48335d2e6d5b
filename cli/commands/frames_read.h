// The input frames a render reads, by the tool's own window rule: what the
// frame cache decodes ahead and keeps, and what no output may overwrite.
#pragma once

#include "hosting/plugin_session.h"

#include <contract/request_window.h>

#include <set>
#include <vector>

namespace taviron::cli {

// Input frames first to last, both included.
struct FrameSpan {
    int first = 0;
    int last = 0;
};

// The offsets at which each request of the tool fetches its input, with the
// controls as the session holds them (a request takes their values).
taviron::WindowOffsets ReadOffsetsOf(const PluginSession& session);

// Whether the tool's requests displace their samples by track points: Use
// tracking data on and a window gathered (Frames 0 copies the input).
bool TrackPointsUsed(const PluginSession& session);

// The frames the request for `frame` reads. Frames beyond the range of frame
// numbers are left out: no file has them, and the sources give nothing there.
FrameSpan InputFramesOf(int frame, taviron::WindowOffsets read);

// Every frame that the requests of `frames` read.
std::set<int> InputFramesRead(const std::vector<int>& frames, taviron::WindowOffsets read);

}  // namespace taviron::cli
