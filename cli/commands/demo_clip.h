// A synthetic clip for the demo: a still background seen through per-frame
// noise, with shapes moving across it, the kind of plate a temporal median
// cleans up.
#pragma once

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>

#include <map>

namespace taviron::cli {

struct DemoClip {
    taviron::HostRef<Image> background;             // the clean plate, 8-bit RGB
    std::map<int, taviron::HostRef<Image>> frames;  // 8-bit RGB, numbered from 1
};

DemoClip MakeDemoClip(int width, int height, int frameCount);

// Peak signal-to-noise ratio of the colour channels of `image` against
// `reference`, in decibels.
double Psnr(const Image& image, const Image& reference);

}  // namespace taviron::cli
