// Every frame of a sequence has the size (display window) of the first one
// read. A frame of another size would be sampled at clamped positions and
// blended in as ghosts, or give an output of its own size.
#pragma once

#include "io/decoded_frame.h"

#include <mutex>
#include <string>

namespace taviron::cli {

class SizeAgreement {
public:
    // Throws an input error naming `path` and both sizes when `frame`
    // differs from the first frame checked.
    void Check(const std::string& path, const DecodedFrame& frame);

private:
    std::mutex mutex_;
    std::string firstPath_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace taviron::cli
