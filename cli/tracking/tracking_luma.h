// What the tracker looks at: one 8-bit channel of a frame's luminance. Files
// of whole numbers (8 and 16-bit) already hold display-referred values and
// are scaled as they are; half and float files hold scene-linear light, which
// a square root brings close to how a display spreads it, so that shadows
// keep their detail. Values beyond 0..1 are clipped.
#pragma once

#include <hostsdk/image.h>

#include <opencv2/core.hpp>

namespace taviron::cli {

cv::Mat TrackingLuma(const Image& image);

}  // namespace taviron::cli
