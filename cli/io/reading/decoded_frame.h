// A frame read from an image file: the host image the tool sees, and what is
// needed to write a result in the file's own shape.
#pragma once

#include "io/reading/channel_layout.h"

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>

#include <OpenImageIO/imageio.h>

#include <memory>
#include <string>
#include <vector>

namespace taviron::cli {

struct FrameFormat {
    OIIO::ImageSpec spec;  // the file's size, channels, pixel type and metadata
    ChannelLayout layout;
    // A file of several parts: every part, the one read (`spec`) among them,
    // and the file, from which the others are carried to the output.
    std::vector<OIIO::ImageSpec> parts;
    int part = 0;
    std::string source;
};

struct DecodedFrame {
    taviron::HostRef<Image> image;
    std::shared_ptr<const FrameFormat> format;
    // Channels the host image has no plane for, as floats, pixel after pixel
    // (ExtraCount of the layout per pixel), in memory or in a scratch file;
    // written back unchanged. Null when there are none.
    std::shared_ptr<const float> extras;

    size_t ExtraBytes() const {
        if (!extras) return 0;
        return static_cast<size_t>(format->layout.ExtraCount()) * static_cast<size_t>(image->Width()) *
               static_cast<size_t>(image->Height()) * sizeof(float);
    }
    size_t Bytes() const { return image->PixelBytes() + ExtraBytes(); }
};

}  // namespace taviron::cli
