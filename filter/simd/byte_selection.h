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

// One sample as the host reads it.
inline float WidenedByte(uint8_t sample) { return static_cast<float>(sample) / 255.0f; }

// The sample of rank `rank` per lane (the one an ascending sort puts there),
// a bit at a time from the top: the answer is the largest value with at most
// `rank` samples under it. Eight passes over the samples whatever they hold,
// copied once side by side with their top bits flipped, so that one signed
// comparison tells a sample under a candidate; the counts are bytes, so
// frames are at most kLargestByteWindow.
template <class B>
typename B::U ByteOfRank(ByteSamples samples, size_t frames, size_t rank, int32_t column) {
    using U = typename B::U;
    uint8_t flipped[kLargestByteWindow * B::kLanes];
    for (size_t j = 0; j < frames; ++j) {
        B::Store(flipped + j * B::kLanes, B::FlipTopBit(B::Load(samples[j] + column)));
    }
    const U wanted = B::Splat(static_cast<uint8_t>(rank));
    const U zero = B::Splat(0);
    U found = zero;
    for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
        const U candidate = B::FlipTopBit(B::Or(found, B::Splat(static_cast<uint8_t>(bit))));
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
        found = B::Or(found, B::And(B::AtMost(count, wanted), B::Splat(static_cast<uint8_t>(bit))));
    }
    return found;
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
