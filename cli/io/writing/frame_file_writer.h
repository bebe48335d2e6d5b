// Writing a host image back into an image file in the shape of the file it
// came from: the same channels in the same order, extra channels and the
// other parts of a multi-part file unchanged.
// The file is written under a temporary name beside it and renamed when
// complete, so no half-written file ever carries the output's name.
#pragma once

#include "io/reading/decoded_frame.h"
#include "io/writing/output_encoding.h"

#include <memory>
#include <string>
#include <vector>

namespace taviron::cli {

// The shape of an 8-bit RGB (3 channels) or RGBA (4) file of the given size,
// for pictures made in memory.
FrameFormat EightBitFormat(int width, int height, int channels);

// A frame on its way to a file: its pixels already in the file's channels
// and sample type, so that the host image can go before the slow part, the
// compression.
class PendingFrameFile {
public:
    // `type` is the file's pixel type (UNKNOWN: the format's own). `extras`
    // are the extra channels of the frame the image was made from. Throws an
    // output error naming the file.
    PendingFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                     const float* extras, OIIO::TypeDesc type, const OutputEncoding& encoding = {});

    // Compresses the file under a temporary name and renames it into place.
    // Throws an output error naming the file.
    void Write();

private:
    // Writes the file under `temporary` and renames it into place; the reason
    // it failed, or empty.
    std::string WriteUnder(const std::string& temporary);
    // Opens `name` and writes every part; false on failure, with the reason
    // in `partReason` when a carried part could not be read.
    bool Encode(const std::string& name, std::string& partReason);

    std::string path_;
    std::unique_ptr<OIIO::ImageOutput> output_;
    OIIO::ImageSpec spec_;
    OIIO::TypeDesc pixelType_;
    std::vector<unsigned char> pixels_;
    // A multi-part source: every part as written, the filtered one at
    // `part_`, the others copied from `source_` as they are written.
    std::vector<OIIO::ImageSpec> parts_;
    size_t part_ = 0;
    std::string source_;
};

// Prepares and writes in one go.
void WriteFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                    const float* extras, OIIO::TypeDesc type);

}  // namespace taviron::cli
