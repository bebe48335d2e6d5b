#include "commands/window_size.h"

#include "errors.h"

#include <OpenImageIO/strutil.h>

namespace taviron::cli {

namespace {

std::string SizeOf(const Image& image) { return OIIO::Strutil::fmt::format("{}x{}", image.Width(), image.Height()); }

}  // namespace

void RequireWindowOfOneSize(FrameCache& cache, FrameSpan window, int frame, const DecodedFrame& current,
                            const std::function<std::string(int frame)>& pathOf) {
    const Image& image = *current.image;
    for (int64_t k = window.first; k <= window.last; ++k) {
        if (k == frame) continue;
        const auto neighbour = cache.Get(static_cast<int>(k));
        if (!neighbour) continue;
        const Image& other = *neighbour->image;
        if (other.Width() == image.Width() && other.Height() == image.Height()) continue;
        // Named by the odd frame, so that the outputs it fails share one message.
        throw InputError(pathOf(static_cast<int>(k)) + " is " + SizeOf(other) +
                         " but the frames whose window holds it are " + SizeOf(image) +
                         "; the frames of a window need one size");
    }
}

}  // namespace taviron::cli
