// What is checked of the output before any frame is decoded: its format, its
// encoding options, its pixel type and the length of its temporary names.
#pragma once

#include "io/frame_pattern.h"
#include "io/writing/output_encoding.h"

#include <OpenImageIO/typedesc.h>

#include <vector>

namespace taviron::cli {

// Throws a usage error naming the value at fault; `depth` UNKNOWN is the
// input's type.
void CheckOutput(const FramePattern& output, const std::vector<int>& frames, const OutputEncoding& encoding,
                 OIIO::TypeDesc depth);

}  // namespace taviron::cli
