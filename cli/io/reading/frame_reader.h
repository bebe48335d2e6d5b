// Reading image files into host images, samples exactly as the file stores
// them: no premultiplication, colour conversion or clamping.
#pragma once

#include "io/reading/decoded_frame.h"

#include <memory>
#include <string>

namespace taviron::cli {

enum class FrameRole {
    Picture,
    Mask,
};

// A mask without alpha takes its alpha from its first channel. Throws an
// input error naming the file.
std::shared_ptr<const DecodedFrame> ReadFrame(const std::string& path, FrameRole role);

}  // namespace taviron::cli
