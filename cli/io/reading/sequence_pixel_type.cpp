#include "io/reading/sequence_pixel_type.h"

#include "io/reading/file_access.h"
#include "io/reading/image_parts.h"

#include <OpenImageIO/imageio.h>

namespace taviron::cli {

OIIO::TypeDesc SequencePixelType(const FramePattern& input) {
    const std::vector<int> frames = input.FramesOnDisk();
    // A FIFO or a device would be waited on for ever; the frame's own read names it.
    if (frames.empty() || !ReasonNotARegularFile(input.PathOf(frames.front())).empty()) return OIIO::TypeDesc::UNKNOWN;
    auto file = OIIO::ImageInput::open(input.PathOf(frames.front()));
    if (!file) {
        OIIO::geterror();  // the frame's own read names the fault
        return OIIO::TypeDesc::UNKNOWN;
    }
    // Of a multi-part file, the part that is filtered.
    file->seek_subimage(ColourPartOf(PartsOf(*file)), 0);
    // A file with a type per channel has each frame keep its channels' own.
    if (!file->spec().channelformats.empty()) return OIIO::TypeDesc::UNKNOWN;
    return file->spec().format;
}

}  // namespace taviron::cli
