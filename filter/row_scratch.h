// The scratch storage of one row: where its samples are read from and the
// buffers that hold them while a tile is filtered. Kept from row to row by
// the worker that borrowed it (scratch_pool.h): its sizes only grow, and what
// it holds is not kept from one row to the next.
#pragma once

#include "row_sampling.h"
#include "uniform_channels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace taviron {

struct RowScratch {
    std::vector<RowSampling> frames;
    // For each frame, its buffers' place among those of the converted
    // frames, or none.
    std::vector<size_t> bufferSlot;
    std::vector<const float*> samples;
    std::vector<float> sampleBuffers;  // converted frames x channels x tile
    std::vector<float> ownBuffers;     // source, mask and output of a tile
    std::vector<float> imageRow;       // a whole row, to gather from
    std::vector<int32_t> columns;
    std::vector<int32_t> keys;
    std::vector<const uint8_t*> byteSamples;
    std::vector<uint8_t> byteBuffers;  // frames x channels x tile
    UniformScratch uniform;
};

// At least `count` elements of `buffer`, whose earlier contents are dropped;
// a smaller buffer is given back before the larger one is taken, so that
// running out of memory leaves it empty rather than half grown.
template <typename T>
T* AtLeast(std::vector<T>& buffer, size_t count) {
    if (buffer.size() < count) {
        buffer = std::vector<T>();
        buffer.resize(count);
    }
    return buffer.data();
}

}  // namespace taviron
