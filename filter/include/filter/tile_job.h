// One tile of a row, as the vectorised kernel sees it: every sample already
// converted to float (or, from 8-bit frames, as stored) and laid out by
// channel and frame, columns side by side, so that one vector lane computes
// one pixel.
#pragma once

#include <contract/combo_items.h>

#include <cstddef>
#include <cstdint>

namespace taviron {

// Every span of a tile is padded to a multiple of the widest vector.
constexpr int32_t kTilePadding = 16;
// Spans of 8-bit samples are padded to a multiple of the widest byte vector.
constexpr int32_t kByteTilePadding = 64;
// The widest window whose samples the kernel takes as bytes: it counts them
// in bytes.
constexpr size_t kLargestByteWindow = 255;

struct TileJob {
    FilterMethod method = FilterMethod::Median;  // a method that IsFilterMethod knows
    size_t frameCount = 0;                       // at least 1
    int32_t columns = 0;                         // pixels of the tile
    int32_t paddedColumns = 0;                   // columns rounded up to kTilePadding
    // samples[channel * frameCount + frame]: paddedColumns floats each.
    const float* const* samples = nullptr;
    // Instead of `samples`, for median, max, min and random: the samples of
    // a window of 8-bit frames as stored, bytes[channel * frameCount +
    // frame], paddedColumns rounded up to kByteTilePadding bytes each; at
    // most kLargestByteWindow frames. The kernel widens only the samples it
    // chooses.
    const uint8_t* const* bytes = nullptr;
    const float* source[4] = {};
    const float* maskAlpha = nullptr;  // none: every pixel is filtered
    bool channelOn[4] = {};
    // The threshold restores a channel exactly when |out - source| is at
    // most restoreAtMost (the float equivalent of threshold > double(d)).
    bool restoreNear = false;
    float restoreAtMost = 0.0f;
    // The median of a window up to the kernel's widest selection network is
    // taken by the network unless this asks for the search that wider
    // windows take (to measure the two against each other).
    bool medianBySearch = false;
    int32_t* keys = nullptr;  // frameCount * kTilePadding, for the median search
    // An enabled channel whose samples are one value in every frame
    // (uniform_channels.h) takes `uniformResult` as the method's result at
    // every pixel; its samples are not read.
    bool channelUniform[4] = {};
    float uniformResult[4] = {};
    float* out[4] = {};  // paddedColumns floats each
};

// The kernels, one per instruction set, giving identical pixels.
void FilterTileSse2(const TileJob& job);
void FilterTileAvx2(const TileJob& job);
void FilterTileAvx512(const TileJob& job);

}  // namespace taviron
