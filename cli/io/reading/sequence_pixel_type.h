// The one pixel type a render writes: the type of the input sequence's first
// file on disk. Every frame gets it, so a 16-bit frame among 8-bit ones does
// not change the output's depth, and chunks of a farm render that start at
// different frames agree.
#pragma once

#include "io/frame_pattern.h"

#include <OpenImageIO/typedesc.h>

namespace taviron::cli {

// UNKNOWN when the sequence has no readable file or its first file keeps a
// type per channel: each frame keeps its own.
OIIO::TypeDesc SequencePixelType(const FramePattern& input);

}  // namespace taviron::cli
