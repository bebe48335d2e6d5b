// Where each channel of an image file goes among the host image's planes.
#pragma once

#include <hostsdk/image.h>

#include <OpenImageIO/imageio.h>

#include <vector>

namespace taviron::cli {

struct ChannelLayout {
    static constexpr int kExtra = -1;

    // Per file channel: the host channel (CHAN_RED ... CHAN_DEPTH) that holds
    // it, or kExtra for a channel the host image has no plane for.
    std::vector<int> plane;
    // One grey channel stands for red, green and blue.
    bool gray = false;
    bool hasAlpha = false;
    bool hasDepth = false;

    int ExtraCount() const;
    // The host channels that the file fills, red, green, blue in gray files.
    bool FillsPlane(int hostChannel) const;
};

// R, G, B, A by name (or the first three or four channels), a grey channel
// for all three colours, a depth channel ("Z", "depth", "*.Z") into depth;
// everything else is extra.
ChannelLayout LayoutOf(const OIIO::ImageSpec& spec);

// The host pixel type that holds the file's mapped channels without loss.
PixelType PixelTypeFor(const OIIO::ImageSpec& spec, const ChannelLayout& layout);
OIIO::TypeDesc TypeDescOf(PixelType type);

}  // namespace taviron::cli
