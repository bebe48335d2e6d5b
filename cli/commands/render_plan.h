// What a render will do, worked out before any file is written: the frames to
// render, the window each needs, the output's pixel type, the memory budget.
#pragma once

#include "io/frame_pattern.h"
#include "commands/render_options.h"

#include <hostsdk/operator.h>

#include <OpenImageIO/typedesc.h>

#include <optional>
#include <vector>

// Offsets of the frames the tool gathers around the current one, from the
// tool's Frames and Sample Direction values.
struct WindowOffsets {
    int first = 0;
    int last = 0;
};

WindowOffsets WindowOf(double framesValue, double directionValue);

// "A-B" or "A"; throws a usage error.
std::vector<int> ParseRange(const std::string& text);
// 8, 16, half, float; UNKNOWN when not given.
OIIO::TypeDesc ParseDepth(const std::string& text);
// Megabytes beyond the address space are no limit; not given, a quarter of
// the machine's memory.
size_t CacheBudgetBytes(std::optional<double> megabytes);

// Throws a usage error when an output file of `frames` would be one of the
// files the render reads.
void RefuseOverwritingInputs(const FramePattern& output, const std::vector<int>& frames, const FramePattern& input,
                             WindowOffsets window, const std::optional<FramePattern>& mask,
                             const std::string& trackFile);
