// Temporary files that a render killed outright (SIGKILL, a crash, a lost
// node) left beside its outputs.
#pragma once

#include "frame_pattern.h"

#include <vector>

// Removes the temporary files of the outputs of `frames` whose writing
// process is no longer alive on this machine; returns how many.
size_t RemoveStaleTemporaryFiles(const FramePattern& output, const std::vector<int>& frames);
