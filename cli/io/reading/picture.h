// The tool's picture: a device-independent bitmap (BITMAPINFOHEADER, then
// the pixels, rows bottom-up unless the height is negative), as an image.
#pragma once

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>
#include <hostsdk/registry.h>

namespace taviron::cli {

// An 8-bit RGBA image, top row first. Throws an input error for a bitmap of
// a kind other than uncompressed 24 or 32 bits per pixel.
HostRef<Image> DecodeBitmap(const ResourceBytes& bitmap);

}  // namespace taviron::cli
