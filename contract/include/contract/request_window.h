// Which frames one request of the tool reads, from its Frames and Sample
// Direction values. The tool gathers its window by this rule and a host plans
// by it which frames to decode ahead and which files an output must not
// overwrite, so the two can never disagree.
#pragma once

#include <cstdint>

namespace taviron {

// Offsets of frames from the request time, both ends included; empty when
// first > last. Wide enough that no frame count overflows.
struct WindowOffsets {
    int64_t first;
    int64_t last;
};

// Backward -n..0, Both -n..n, Forward 0..n, any other direction 0 alone.
WindowOffsets WindowOffsetsFor(int32_t frames, int32_t direction);

struct RequestWindow {
    int32_t frames;  // n, truncated as the control conversion does
    int32_t direction;
    WindowOffsets gathered;  // the frames gathered for the rows
    // Every offset at which the request fetches an image: its own frame
    // (always fetched) and the gathered ones.
    WindowOffsets read;

    // Frames 0 hands the source on unfiltered and gathers nothing.
    bool PassesThrough() const { return frames == 0; }
};

// The window of a request whose Frames and Sample Direction values are
// these, whatever they are (NaN, fractions, beyond any range).
RequestWindow RequestWindowOf(double framesValue, double directionValue);

}  // namespace taviron
