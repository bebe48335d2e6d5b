// Writing a host image back into an image file in the shape of the file it
// came from: the same channels in the same order, extra channels unchanged.
// The file is written under a temporary name beside it and renamed when
// complete, so no half-written file ever carries the output's name.
#pragma once

#include "decoded_frame.h"

#include <string>
#include <vector>

// The shape of an 8-bit RGB (3 channels) or RGBA (4) file of the given size,
// for pictures made in memory.
FrameFormat EightBitFormat(int width, int height, int channels);

// `type` is the file's pixel type (UNKNOWN: the format's own). `extras` are
// the extra channels of the frame the image was made from. Throws an output
// error naming the file.
void WriteFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                    const std::vector<float>* extras, OIIO::TypeDesc type);
