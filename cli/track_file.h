// Track files: one tracked point per line as `frame,x,y`, with x and y in
// units of the image's width and height. A header line is allowed; a frame
// without a line has no point.
#pragma once

#include <map>
#include <string>

struct TrackPoint {
    double x = 0.0;
    double y = 0.0;
};

using TrackData = std::map<int, TrackPoint>;

// Throws an input error naming the file, and the line for a malformed one.
TrackData ReadTrackFile(const std::string& path);
