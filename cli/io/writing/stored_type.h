// The sample type a file format really stores for a requested one: OpenEXR
// has no 8-bit samples, PNG no floats, JPEG only 8 bits.
#pragma once

#include <OpenImageIO/imageio.h>

#include <optional>
#include <string>

namespace taviron::cli {

// The sample type the format of `path` stores an image of `spec` in, found
// by writing one pixel of it to memory; empty when the format cannot write
// to memory or keeps a type per channel.
std::optional<OIIO::TypeDesc> StoredType(const std::string& path, OIIO::ImageSpec spec);

}  // namespace taviron::cli
