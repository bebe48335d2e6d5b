// The tile kernel, written once over a vector type of vector_ops.h and
// instantiated in one translation unit per instruction set. One lane computes
// one pixel; every operation is the one the per-pixel rule names (float sums
// in window order, a float division, order keys compared as integers), so
// every instruction set gives the same bits.
//
// Compiled under different instruction-set flags in different translation
// units, so everything has internal linkage (see vector_ops.h).
#pragma once

#include "filter/simd/selection_network.h"
#include "filter/simd/vector_ops.h"
#include "filter/tile_job.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace taviron {
namespace simd {
namespace {

// Mirrors FilterMethod; this header leaves the scalar filter code out.
enum : int32_t { kMedian = 0, kAverage = 1, kMax = 2, kMin = 3, kRandom = 4 };

// The samples of one channel: frameCount spans of the tile.
using ChannelSamples = const float* const*;

template <class V>
typename V::M FilteredLanes(const TileJob& job, int32_t column) {
    // Alpha 0 or below leaves the pixel alone; NaN filters it.
    const typename V::F zero = V::SplatF(0.0f);
    const typename V::F alpha = job.maskAlpha != nullptr ? V::LoadF(job.maskAlpha + column) : V::SplatF(1.0f);
    return V::NotLessEqual(alpha, zero);
}

// Threshold and mask, then the store.
template <class V>
void Finish(const TileJob& job, int channel, int32_t column, typename V::F result) {
    const typename V::F source = V::LoadF(job.source[channel] + column);
    if (job.restoreNear) {
        const typename V::F difference = V::Abs(V::Sub(result, source));
        result = V::Select(V::LessEqual(difference, V::SplatF(job.restoreAtMost)), source, result);
    }
    result = V::Select(FilteredLanes<V>(job, column), result, source);
    V::StoreF(job.out[channel] + column, result);
}

template <class V>
typename V::F Average(ChannelSamples samples, size_t frames, int32_t column) {
    typename V::F sum = V::SplatF(0.0f);
    for (size_t j = 0; j < frames; ++j) {
        sum = V::Add(sum, V::LoadF(samples[j] + column));
    }
    const typename V::F mean = V::Div(sum, V::SplatF(static_cast<float>(frames)));
    // Which NaN a sum carries depends on the operand order of the hardware;
    // every NaN average is the one quiet NaN.
    return V::Select(V::IsNaN(mean), V::SplatF(__builtin_nanf("")), mean);
}

template <class V, bool Largest>
typename V::F Extreme(ChannelSamples samples, size_t frames, int32_t column) {
    typename V::I best = V::Key(V::LoadF(samples[0] + column));
    for (size_t j = 1; j < frames; ++j) {
        const typename V::I key = V::Key(V::LoadF(samples[j] + column));
        best = Largest ? V::Max(best, key) : V::Min(best, key);
    }
    return V::FromKey(best);
}

template <class V, int Frames>
typename V::F MedianByNetwork(ChannelSamples samples, int32_t column) {
    typename V::I keys[Frames];
    for (int j = 0; j < Frames; ++j) {
        keys[j] = V::Key(V::LoadF(samples[j] + column));
    }
    SelectRank<V, Frames, Frames / 2>(keys);
    return V::FromKey(keys[Frames / 2]);
}

// The key of rank `rank` per lane, by bisection of the key range: the
// smallest key v with at most frames - rank - 1 keys above it. Each step
// halves the range, so the work per sample is at most 32 compares whatever
// the window; `keys` holds the tile's keys of this column vector.
template <class V>
typename V::F RankByBisection(ChannelSamples samples, size_t frames, size_t rank, int32_t column, int32_t* keys) {
    typename V::I low = V::SplatI(INT32_MAX);
    typename V::I high = V::SplatI(INT32_MIN);
    for (size_t j = 0; j < frames; ++j) {
        const typename V::I key = V::Key(V::LoadF(samples[j] + column));
        V::StoreI(keys + j * V::kLanes, key);
        low = V::Min(low, key);
        high = V::Max(high, key);
    }
    const typename V::I allowedAbove = V::SplatI(static_cast<int32_t>(frames - rank - 1));
    const typename V::I one = V::SplatI(1);
    while (V::Any(V::Greater(high, low))) {
        // Wrapping arithmetic gives the floor of the midpoint even when the
        // range spans every int32.
        const typename V::I middle = V::Add(low, V::HalveUnsigned(V::Sub(high, low)));
        typename V::I aboveEven = V::SplatI(0);
        typename V::I aboveOdd = V::SplatI(0);
        size_t j = 0;
        for (; j + 1 < frames; j += 2) {
            aboveEven = V::CountWhere(aboveEven, V::Greater(V::LoadI(keys + j * V::kLanes), middle));
            aboveOdd = V::CountWhere(aboveOdd, V::Greater(V::LoadI(keys + (j + 1) * V::kLanes), middle));
        }
        if (j < frames) {
            aboveEven = V::CountWhere(aboveEven, V::Greater(V::LoadI(keys + j * V::kLanes), middle));
        }
        const typename V::M tooMany = V::Greater(V::Add(aboveEven, aboveOdd), allowedAbove);
        low = V::Select(tooMany, V::Add(middle, one), low);
        high = V::Select(tooMany, high, middle);
    }
    return V::FromKey(low);
}

template <class V>
using NetworkChannel = void (*)(const TileJob&, int channel);

template <class V, int Frames>
void MedianChannelByNetwork(const TileJob& job, int channel) {
    ChannelSamples samples = job.samples + static_cast<size_t>(channel) * job.frameCount;
    for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
        Finish<V>(job, channel, column, MedianByNetwork<V, Frames>(samples, column));
    }
}

template <class V, int... Frames>
NetworkChannel<V> NetworkFor(size_t frames, std::integer_sequence<int, Frames...>) {
    static constexpr NetworkChannel<V> table[] = {&MedianChannelByNetwork<V, Frames + 1>...};
    return table[frames - 1];
}

template <class V>
void OrderedChannel(const TileJob& job, int channel) {
    const size_t frames = job.frameCount;
    if (job.method == kMedian && job.medianByNetwork && frames <= kLargestMedianNetwork) {
        NetworkFor<V>(frames, std::make_integer_sequence<int, static_cast<int>(kLargestMedianNetwork)>{})(job, channel);
        return;
    }
    ChannelSamples samples = job.samples + static_cast<size_t>(channel) * frames;
    for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
        typename V::F result;
        switch (job.method) {
        case kMax:
            result = Extreme<V, true>(samples, frames, column);
            break;
        case kMin:
            result = Extreme<V, false>(samples, frames, column);
            break;
        case kAverage:
            result = Average<V>(samples, frames, column);
            break;
        default:
            result = RankByBisection<V>(samples, frames, frames / 2, column, job.keys);
            break;
        }
        Finish<V>(job, channel, column, result);
    }
}

// One draw of the C library's generator per filtered pixel, in column order;
// every enabled channel of the pixel comes from the drawn frame.
template <class V>
void RandomTile(const TileJob& job) {
    for (int32_t column = 0; column < job.paddedColumns; ++column) {
        const bool filtered =
            column < job.columns && (job.maskAlpha == nullptr || !(job.maskAlpha[column] <= 0.0f));
        const size_t frame = filtered ? static_cast<unsigned>(std::rand()) % job.frameCount : 0;
        for (int channel = 0; channel < 4; ++channel) {
            job.out[channel][column] = filtered && job.channelOn[channel]
                                           ? job.samples[static_cast<size_t>(channel) * job.frameCount + frame][column]
                                           : job.source[channel][column];
        }
    }
    for (int channel = 0; channel < 4; ++channel) {
        if (job.channelOn[channel]) {
            for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
                Finish<V>(job, channel, column, V::LoadF(job.out[channel] + column));
            }
        }
    }
}

template <class V>
void FilterTile(const TileJob& job) {
    if (job.method == kRandom) {
        RandomTile<V>(job);
        return;
    }
    for (int channel = 0; channel < 4; ++channel) {
        if (job.channelOn[channel]) {
            OrderedChannel<V>(job, channel);
        } else {
            for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
                V::StoreF(job.out[channel] + column, V::LoadF(job.source[channel] + column));
            }
        }
    }
}

}  // namespace
}  // namespace simd
}  // namespace taviron
