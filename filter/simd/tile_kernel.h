// The tile kernel, written once over a vector type of vector_ops.h and
// instantiated in one translation unit per instruction set. One lane computes
// one pixel; every operation is the one the per-pixel rule names (float sums
// in window order, a float division, order keys compared as integers), so
// every instruction set gives the same bits.
//
// Compiled under different instruction-set flags in different translation
// units, so everything has internal linkage (see vector_ops.h).
#pragma once

#include "byte_selection.h"
#include "selection_network.h"
#include "vector_ops.h"

#include <filter/tile_job.h>

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace taviron {
namespace simd {
namespace {

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

// How the tile's keys of this column vector fall about `middle`, per lane:
// how many lie above it, the largest at or under it and the smallest above.
template <class V>
struct Split {
    typename V::I above;
    typename V::I largestAtMost;
    typename V::I smallestAbove;
};

template <class V>
void TakeKey(Split<V>& split, typename V::I key, typename V::I middle) {
    const typename V::M isAbove = V::Greater(key, middle);
    split.above = V::CountWhere(split.above, isAbove);
    split.largestAtMost = V::MaxWhere(split.largestAtMost, V::Not(isAbove), key);
    split.smallestAbove = V::MinWhere(split.smallestAbove, isAbove, key);
}

template <class V>
Split<V> SplitAt(const int32_t* keys, size_t frames, typename V::I middle) {
    // Even and odd frames apart, so that no operation waits on the last.
    Split<V> even = {V::SplatI(0), V::SplatI(INT32_MIN), V::SplatI(INT32_MAX)};
    Split<V> odd = even;
    size_t j = 0;
    for (; j + 2 <= frames; j += 2) {
        TakeKey<V>(even, V::LoadI(keys + j * V::kLanes), middle);
        TakeKey<V>(odd, V::LoadI(keys + (j + 1) * V::kLanes), middle);
    }
    if (j < frames) {
        TakeKey<V>(even, V::LoadI(keys + j * V::kLanes), middle);
    }
    return {V::Add(even.above, odd.above), V::Max(even.largestAtMost, odd.largestAtMost),
            V::Min(even.smallestAbove, odd.smallestAbove)};
}

// The key of rank `rank` per lane (the one an ascending sort puts there), by
// narrowing a range of keys [low, high] that holds it: `below` keys lie
// under low and `atMost` keys at or under high, and both ends are keys. Each
// pass splits the keys at one guess, interpolated between the values at the
// ends, so that a good one leaves the wanted key among the two first or
// last of its range, which one more pass then finds, or alone with its ties.
// Where a guess did not halve the keys in range the next one halves the key
// range instead, so no lane takes more than about 64 passes whatever its
// samples. The work per sample does not grow with the window. `keys` holds
// the keys of this column vector, frame after frame. The float arithmetic
// of the guesses decides only which keys are counted, never the key found.
template <class V>
typename V::F RankBySearch(ChannelSamples samples, size_t frames, size_t rank, int32_t column, int32_t* keys) {
    using I = typename V::I;
    using M = typename V::M;
    I low = V::SplatI(INT32_MAX);
    I high = V::SplatI(INT32_MIN);
    for (size_t j = 0; j < frames; ++j) {
        const I key = V::Key(V::LoadF(samples[j] + column));
        V::StoreI(keys + j * V::kLanes, key);
        low = V::Min(low, key);
        high = V::Max(high, key);
    }
    const I zero = V::SplatI(0);
    const I one = V::SplatI(1);
    const I count = V::SplatI(static_cast<int32_t>(frames));
    const I wanted = V::SplatI(static_cast<int32_t>(rank));
    const I wantedPlusTwo = V::Add(wanted, V::SplatI(2));
    I below = zero;
    I atMost = count;
    M halveNext = V::Greater(zero, zero);  // none
    for (;;) {
        // Found where the wanted key is the first or the last in range.
        const M open = V::And(V::Greater(high, low),
                              V::And(V::Greater(wanted, V::Add(below, one)), V::Greater(atMost, wantedPlusTwo)));
        if (!V::Any(open)) {
            break;
        }
        // The guess lies as far between the values at low and high as the
        // wanted key lies between the keys in range; a range of 2^31 keys or
        // more wraps negative and is halved instead.
        const I range = V::Sub(high, low);
        const typename V::F fraction = V::Div(V::Add(V::ToFloat(V::Sub(wanted, below)), V::SplatF(0.5f)),
                                              V::ToFloat(V::Sub(atMost, below)));
        const typename V::F lowValue = V::FromKey(low);
        const typename V::F guessValue =
            V::Add(lowValue, V::Mul(fraction, V::Sub(V::FromKey(high), lowValue)));
        const I guess = V::Max(low, V::Min(V::Key(guessValue), V::Sub(high, one)));
        const M halve = V::Or(halveNext, V::Greater(zero, range));
        const I middle = V::Select(halve, V::Add(low, V::HalveUnsigned(range)), guess);

        const Split<V> split = SplitAt<V>(keys, frames, middle);
        const I atMostMiddle = V::Sub(count, split.above);
        const M enough = V::Greater(atMostMiddle, wanted);
        const M lower = V::And(open, enough);
        const M raise = V::AndNot(open, enough);
        const I inRangeBefore = V::Sub(atMost, below);
        // The ends move onto the keys either side of the guess, so that a
        // range of tied keys closes at once.
        high = V::Select(lower, split.largestAtMost, high);
        atMost = V::Select(lower, atMostMiddle, atMost);
        low = V::Select(raise, split.smallestAbove, low);
        below = V::Select(raise, atMostMiddle, below);
        const I inRange = V::Sub(atMost, below);
        halveNext = V::AndNot(V::Greater(V::Add(inRange, inRange), inRangeBefore), halve);
    }
    // The two smallest keys at or over low and the two largest at or under
    // high, ties counted.
    I smallest = V::SplatI(INT32_MAX);
    I secondSmallest = smallest;
    I largest = V::SplatI(INT32_MIN);
    I secondLargest = largest;
    for (size_t j = 0; j < frames; ++j) {
        const I key = V::LoadI(keys + j * V::kLanes);
        const I fromLow = V::Select(V::Greater(low, key), V::SplatI(INT32_MAX), key);
        secondSmallest = V::Min(secondSmallest, V::Max(smallest, fromLow));
        smallest = V::Min(smallest, fromLow);
        const I toHigh = V::Select(V::Greater(key, high), V::SplatI(INT32_MIN), key);
        secondLargest = V::Max(secondLargest, V::Min(largest, toHigh));
        largest = V::Max(largest, toHigh);
    }
    // Where the wanted key stands from the bottom and from the top of the
    // range; a range of one key value is found from the bottom too.
    const I fromBottom = V::Sub(wanted, below);
    const I fromTop = V::Sub(V::Sub(atMost, one), wanted);
    const M secondFromBottom = V::AndNot(V::Greater(fromBottom, zero), V::Greater(fromBottom, one));
    const M nearTop = V::AndNot(V::Greater(fromBottom, one), V::Greater(fromTop, one));
    I found = V::Select(secondFromBottom, secondSmallest, smallest);
    found = V::Select(nearTop, V::Select(V::Greater(fromTop, zero), secondLargest, largest), found);
    return V::FromKey(found);
}

// Filters one enabled channel of the tile that is not uniform.
template <class V>
using ChannelFilter = void (*)(const TileJob&, int channel);

template <class V, int Frames>
void MedianChannelByNetwork(const TileJob& job, int channel) {
    ChannelSamples samples = job.samples + static_cast<size_t>(channel) * job.frameCount;
    for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
        Finish<V>(job, channel, column, MedianByNetwork<V, Frames>(samples, column));
    }
}

template <class V, int... Frames>
ChannelFilter<V> NetworkFor(size_t frames, std::integer_sequence<int, Frames...>) {
    static constexpr ChannelFilter<V> table[] = {&MedianChannelByNetwork<V, Frames + 1>...};
    return table[frames - 1];
}

template <class V>
void MedianChannel(const TileJob& job, int channel) {
    const size_t frames = job.frameCount;
    if (!job.medianBySearch && frames <= V::kLargestMedianNetwork) {
        NetworkFor<V>(frames, std::make_integer_sequence<int, V::kLargestMedianNetwork>{})(job, channel);
        return;
    }
    ChannelSamples samples = job.samples + static_cast<size_t>(channel) * frames;
    for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
        Finish<V>(job, channel, column, RankBySearch<V>(samples, frames, frames / 2, column, job.keys));
    }
}

// The chosen 8-bit samples of the column vector at `column`, widened and
// finished a float vector at a time.
template <class V>
void FinishBytes(const TileJob& job, int channel, int32_t column, typename V::Bytes::U chosen) {
    using B = typename V::Bytes;
    uint8_t bytes[B::kLanes];
    B::Store(bytes, chosen);
    for (int lane = 0; lane < B::kLanes && column + lane < job.paddedColumns; lane += V::kLanes) {
        Finish<V>(job, channel, column + lane, V::WidenBytes(bytes + lane));
    }
}

template <class V, int Frames>
void ByteMedianChannelByNetwork(const TileJob& job, int channel) {
    using B = typename V::Bytes;
    ByteSamples samples = job.bytes + static_cast<size_t>(channel) * job.frameCount;
    for (int32_t column = 0; column < job.paddedColumns; column += B::kLanes) {
        FinishBytes<V>(job, channel, column, ByteOfRankByNetwork<B, Frames>(samples, column));
    }
}

template <class V, int... Frames>
ChannelFilter<V> ByteNetworkFor(size_t frames, std::integer_sequence<int, Frames...>) {
    static constexpr ChannelFilter<V> table[] = {&ByteMedianChannelByNetwork<V, Frames + 1>...};
    return table[frames - 1];
}

template <class V>
void ByteMedianChannel(const TileJob& job, int channel) {
    using B = typename V::Bytes;
    const size_t frames = job.frameCount;
    if (!job.medianBySearch && frames <= kLargestByteMedianNetwork) {
        ByteNetworkFor<V>(frames, std::make_integer_sequence<int, kLargestByteMedianNetwork>{})(job, channel);
        return;
    }
    ByteSamples samples = job.bytes + static_cast<size_t>(channel) * frames;
    for (int32_t column = 0; column < job.paddedColumns; column += B::kLanes) {
        FinishBytes<V>(job, channel, column, ByteOfRank<B>(samples, frames, frames / 2, column));
    }
}

template <class V, bool Largest>
void ExtremeByteChannel(const TileJob& job, int channel) {
    using B = typename V::Bytes;
    ByteSamples samples = job.bytes + static_cast<size_t>(channel) * job.frameCount;
    for (int32_t column = 0; column < job.paddedColumns; column += B::kLanes) {
        FinishBytes<V>(job, channel, column, ExtremeByte<B, Largest>(samples, job.frameCount, column));
    }
}

// A method that reduces a column vector's samples to one value, as Average
// and Extreme do.
template <class V>
using Reduction = typename V::F (*)(ChannelSamples, size_t frames, int32_t column);

template <class V, Reduction<V> Reduce>
void ReducedChannel(const TileJob& job, int channel) {
    ChannelSamples samples = job.samples + static_cast<size_t>(channel) * job.frameCount;
    for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
        Finish<V>(job, channel, column, Reduce(samples, job.frameCount, column));
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
            const size_t picked = static_cast<size_t>(channel) * job.frameCount + frame;
            job.out[channel][column] =
                !filtered || !job.channelOn[channel] ? job.source[channel][column]
                : job.channelUniform[channel]        ? job.uniformResult[channel]
                : job.bytes != nullptr               ? WidenedByte(job.bytes[picked][column])
                                                     : job.samples[picked][column];
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

// Uniform channels take their one result, disabled ones keep the source.
template <class V>
void FilterChannels(const TileJob& job, ChannelFilter<V> filterChannel) {
    for (int channel = 0; channel < 4; ++channel) {
        if (job.channelOn[channel] && job.channelUniform[channel]) {
            const typename V::F result = V::SplatF(job.uniformResult[channel]);
            for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
                Finish<V>(job, channel, column, result);
            }
        } else if (job.channelOn[channel]) {
            filterChannel(job, channel);
        } else {
            for (int32_t column = 0; column < job.paddedColumns; column += V::kLanes) {
                V::StoreF(job.out[channel] + column, V::LoadF(job.source[channel] + column));
            }
        }
    }
}

// Every method is named and there is no default, so a method added to the
// items but not here is a compiler error (-Werror=switch), not a silent
// median.
template <class V>
void FilterTile(const TileJob& job) {
    switch (job.method) {
    case FilterMethod::Median:
        FilterChannels<V>(job, job.bytes != nullptr ? &ByteMedianChannel<V> : &MedianChannel<V>);
        return;
    case FilterMethod::Average:
        FilterChannels<V>(job, &ReducedChannel<V, &Average<V>>);
        return;
    case FilterMethod::Max:
        FilterChannels<V>(job, job.bytes != nullptr ? &ExtremeByteChannel<V, true>
                                                    : &ReducedChannel<V, &Extreme<V, true>>);
        return;
    case FilterMethod::Min:
        FilterChannels<V>(job, job.bytes != nullptr ? &ExtremeByteChannel<V, false>
                                                    : &ReducedChannel<V, &Extreme<V, false>>);
        return;
    case FilterMethod::Random:
        RandomTile<V>(job);
        return;
    }
}

}  // namespace
}  // namespace simd
}  // namespace taviron
