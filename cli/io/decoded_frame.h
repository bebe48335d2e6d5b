// A frame read from an image file: the host image the tool sees, and what is
// needed to write a result in the file's own shape.
#pragma once

#include "io/channel_layout.h"
#include "hosting/ref.h"

#include <hostsdk/image.h>

#include <OpenImageIO/imageio.h>

#include <memory>
#include <vector>

struct FrameFormat {
    OIIO::ImageSpec spec;  // the file's size, channels, pixel type and metadata
    ChannelLayout layout;
};

struct DecodedFrame {
    Ref<Image> image;
    std::shared_ptr<const FrameFormat> format;
    // Channels the host image has no plane for, as floats, pixel after pixel;
    // written back unchanged.
    std::shared_ptr<const std::vector<float>> extras;

    size_t Bytes() const { return image->PixelBytes() + (extras ? extras->size() * sizeof(float) : 0); }
};
