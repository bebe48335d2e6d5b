// Track files: one tracked point per line as `frame,x,y`, with x and y in
// units of the image's width and height (y down). A header line is allowed;
// a frame without a line has no point.
#pragma once

#include <map>
#include <string>

namespace taviron::cli {

struct TrackPoint {
    double x = 0.0;
    double y = 0.0;
};

using TrackData = std::map<int, TrackPoint>;

// What a track file's points are: where the tracked feature is in each frame
// (what trackers export), or already the points the tool takes, which it
// subtracts from the current frame's point.
enum class TrackConvention {
    Feature,
    Offset,
};

// Throws an input error naming the file, and the line for a malformed one.
TrackData ReadTrackFile(const std::string& path);

// A track file's text: a header line, then a `frame,x,y` line per point with
// numbers that read back exactly.
std::string TrackFileText(const TrackData& track);

// The points to hand the tool. The tool samples each frame at the current
// point minus that frame's point, so a feature's positions go to it
// mirrored: the sample then moves with the feature.
TrackData ToolPoints(TrackData track, TrackConvention convention);

}  // namespace taviron::cli
