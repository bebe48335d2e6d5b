#include "io/sequence_pixel_type.h"

#include <OpenImageIO/imageio.h>

namespace taviron::cli {

OIIO::TypeDesc SequencePixelType(const FramePattern& input) {
    const std::vector<int> frames = input.FramesOnDisk();
    if (frames.empty()) return OIIO::TypeDesc::UNKNOWN;
    auto file = OIIO::ImageInput::open(input.PathOf(frames.front()));
    if (!file) {
        OIIO::geterror();  // the frame's own read names the fault
        return OIIO::TypeDesc::UNKNOWN;
    }
    return file->spec().format;
}

}  // namespace taviron::cli
