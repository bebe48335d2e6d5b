// Every frame a request samples has the size of the frame it filters: one of
// another size would be sampled at clamped positions and blended in as
// ghosts. Each output's own frame sets the size, so a render gives the same
// files whichever frame it starts at, and a farm's chunks give what one run
// gives.
#pragma once

#include "commands/frames_read.h"
#include "io/reading/decoded_frame.h"
#include "io/caching/frame_cache.h"

#include <functional>
#include <string>

namespace taviron::cli {

// Throws an input error naming the odd file and both sizes when a frame of
// `window` that exists differs in size from `current`, the frame `frame`.
void RequireWindowOfOneSize(FrameCache& cache, FrameSpan window, int frame, const DecodedFrame& current,
                            const std::function<std::string(int frame)>& pathOf);

}  // namespace taviron::cli
