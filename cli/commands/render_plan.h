// What a render will do, worked out before any file is written: the frames to
// render, the window each needs, the output's pixel type, the memory budget.
#pragma once

#include "io/frame_pattern.h"
#include "commands/render_options.h"

#include <contract/request_window.h>
#include <hostsdk/operator.h>

#include <OpenImageIO/typedesc.h>

#include <optional>
#include <vector>

namespace taviron::cli {

// "A-B" or "A"; throws a usage error.
std::vector<int> ParseRange(const std::string& text);
// 8, 16, half, float; UNKNOWN when not given.
OIIO::TypeDesc ParseDepth(const std::string& text);
// Megabytes beyond the address space are no limit; not given, a quarter of
// the machine's memory.
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
