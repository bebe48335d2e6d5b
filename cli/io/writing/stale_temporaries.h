// Temporary files that a render killed outright (SIGKILL, a crash, a lost
// node) left beside its outputs.
#pragma once

#include "io/frame_pattern.h"

#include <vector>

namespace taviron::cli {

// Removes the temporary files of the outputs of `frames` that this machine
// wrote and whose writing process is no longer alive; returns how many.
size_t RemoveStaleTemporaryFiles(const FramePattern& output, const std::vector<int>& frames);

}  // namespace taviron::cli
