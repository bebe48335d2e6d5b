// Choosing one of a column vector's 8-bit samples as stored, before any of
// them is widened: the one of a rank, the largest, the smallest. Widening is
// strictly increasing, so the sample chosen here, widened, is the float the
// same choice among widened samples gives. `samples` holds one span of bytes
// per frame; B is a byte type of vector_ops.h.
//
// Compiled under different instruction-set flags in different translation
// units, so everything has internal linkage (see vector_ops.h).
#pragma once

#include "selection_network.h"
#include "vector_ops.h"

#include <filter/tile_job.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace taviron {
namespace simd {
namespace {

using ByteSamples = const uint8_t* const*;

// Windows up to this many frames take their median by selection network,
// wider ones by search: the cheaper of the two there (measured,
// median_select_bytes benchmarks), and no wider networks to compile.
constexpr int kLargestByteMedianNetwork = 40;

// How far along its row each frame's samples are fetched ahead of those
// being read: a wide window reads more rows at once than the hardware
// follows streams, and would otherwise wait on memory at every column.
constexpr int32_t kPrefetchDistance = 128;
constexpr int32_t kCacheLine = 64;

// One sample as the host reads it.
inline float WidenedByte(uint8_t sample) { return static_cast<float>(sample) / 255.0f; }

// The sample of rank `rank` per lane (the one an ascending sort puts there).
// It lies between the lane's lowest and highest sample, so it is sought as
// its offset from the lowest, a bit at a time from the top: the answer is
// the largest offset with at most `rank` samples under the lowest plus it.
// Only as many passes over the samples as the widest lane's spread has bits
// (none where every lane holds one value): a still view's pixels vary by a
// few levels from frame to frame. The samples are copied once side by side
// with their top bits flipped, so that one signed comparison tells a sample
// under a candidate; the counts are bytes, so frames are at most
// kLargestByteWindow.
template <class B>
typename B::U ByteOfRank(ByteSamples samples, size_t frames, size_t rank, int32_t column) {
    using U = typename B::U;
    uint8_t flipped[kLargestByteWindow * B::kLanes];
    U lowest = B::Splat(0xff);
    U highest = B::Splat(0);
    // Once a cache line of each row.
    const bool fetchAhead = column % kCacheLine == 0;
    for (size_t j = 0; j < frames; ++j) {
        const U sample = B::Load(samples[j] + column);
        if (fetchAhead) {
            __builtin_prefetch(samples[j] + column + kPrefetchDistance);
        }
        lowest = B::Min(lowest, sample);
        highest = B::Max(highest, sample);
        B::Store(flipped + j * B::kLanes, B::FlipTopBit(sample));
    }
    const unsigned spread = B::OrOfLanes(B::Sub(highest, lowest));
    if (spread == 0) {
        return lowest;
    }
    // An offset holds while at most `rank` samples lie under lowest +
    // offset. Where that passes 255 every sample lies under it, whatever the
    // count under the saturated 255 says.
    const U wanted = B::Splat(static_cast<uint8_t>(rank));
    const U zero = B::Splat(0);
    U found = zero;
    for (unsigned bit = 1u << (31 - __builtin_clz(spread)); bit != 0; bit >>= 1) {
        const U offset = B::Or(found, B::Splat(static_cast<uint8_t>(bit)));
        const U candidate = B::FlipTopBit(B::AddSaturated(lowest, offset));
        // Even and odd frames apart, so that no addition waits on the last.
        U evenCount = zero;
        U oddCount = zero;
        size_t j = 0;
        for (; j + 2 <= frames; j += 2) {
            evenCount = B::CountWhere(evenCount, B::GreaterSigned(candidate, B::Load(flipped + j * B::kLanes)));
            oddCount = B::CountWhere(oddCount, B::GreaterSigned(candidate, B::Load(flipped + (j + 1) * B::kLanes)));
        }
        if (j < frames) {
            evenCount = B::CountWhere(evenCount, B::GreaterSigned(candidate, B::Load(flipped + j * B::kLanes)));
        }
        const U count = B::Add(evenCount, oddCount);
        const U fits = B::AtMost(lowest, B::Sub(B::Splat(0xff), offset));
        found = B::Or(found, B::And(B::And(B::AtMost(count, wanted), fits), B::Splat(static_cast<uint8_t>(bit))));
    }
    return B::Add(lowest, found);
}

template <class B, int Frames>
typename B::U ByteOfRankByNetwork(ByteSamples samples, int32_t column) {
    typename B::U bytes[Frames];
    for (int j = 0; j < Frames; ++j) {
        bytes[j] = B::Load(samples[j] + column);
    }
    SelectRank<B, Frames, Frames / 2>(bytes);
    return bytes[Frames / 2];
}

template <class B, bool Largest>
typename B::U ExtremeByte(ByteSamples samples, size_t frames, int32_t column) {
    typename B::U best = B::Load(samples[0] + column);
    for (size_t j = 1; j < frames; ++j) {
        const typename B::U sample = B::Load(samples[j] + column);
        best = Largest ? B::Max(best, sample) : B::Min(best, sample);
    }
    return best;
}

}  // namespace
}  // namespace simd
}  // namespace taviron
