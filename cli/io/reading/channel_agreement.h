// Every frame of a sequence has the channels of the first one read. A grey
// frame among colour ones, or one with alpha among frames without, would be
// filtered as something else and written in its own channels, dropping what
// the window put there.
#pragma once

#include "io/reading/decoded_frame.h"

#include <mutex>
#include <string>
#include <vector>

namespace taviron::cli {

class ChannelAgreement {
public:
    // Throws an input error naming both files and their channels when
    // `frame`, read from `path`, differs from the first frame checked.
    void Check(const std::string& path, const DecodedFrame& frame);

private:
    std::mutex mutex_;
    std::string firstPath_;
    std::vector<std::string> firstChannels_;
};

}  // namespace taviron::cli
