// What is checked of the output before any frame is decoded: its format, its
// encoding options, its pixel type, the length of its temporary names, and
// its folder, which is made when missing.
#pragma once

#include "io/frame_pattern.h"
#include "io/output_encoding.h"

#include <OpenImageIO/typedesc.h>

#include <vector>

namespace taviron::cli {

// Throws a usage error naming the value at fault; `depth` UNKNOWN is the
// input's type.
void CheckOutput(const FramePattern& output, const std::vector<int>& frames, const OutputEncoding& encoding,
                 OIIO::TypeDesc depth, const std::string& depthText);

// Makes the output's folder with its parents; throws an output error saying
// why it cannot.
void MakeOutputFolder(const std::string& outputPath);

}  // namespace taviron::cli
