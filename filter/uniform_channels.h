// Channels that cannot change: a channel whose plane holds one value
// throughout in every frame of the window (the alpha a reader fills for an
// RGB file, a constant channel) has one result at every pixel before the
// threshold and the mask. The kernel itself takes it, once per row, from a
// tile of those values, so that it is bit for bit what filtering every pixel
// gives; the rows then gather no samples of the channel.
#pragma once

#include <filter/kernel_path.h>
#include <filter/pixel_filter.h>
#include <filter/tile_job.h>

#include <hostsdk/image.h>

#include <cstddef>
#include <vector>

namespace taviron {

struct UniformChannels {
    bool uniform[COLOUR_CHANNELS] = {};
    float result[COLOUR_CHANNELS] = {};
};

// Scratch storage of the tile the results are taken from, kept from row to
// row by its owner.
struct UniformScratch {
    std::vector<float> values;  // one per frame
    std::vector<float> samples;
    std::vector<const float*> sampleRows;
    std::vector<int32_t> keys;
};

// The enabled channels uniform in every one of `frameCount` frames, with
// the method's result for each; under Random only where every frame holds
// the same value (elsewhere the pick decides the value per pixel).
UniformChannels FindUniformChannels(const Image* const* frames, size_t frameCount, const RowControls& controls,
                                    TileKernel kernel, UniformScratch& scratch);

}  // namespace taviron
