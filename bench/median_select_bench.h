// The median of one tile 512 columns wide, by the kernel's own choice (a
// selection network up to its widest one) and by the search that wider
// windows take, to place the crossover between the two; of float samples, or
// of 8-bit ones as stored: noise over the whole range, or a still view's,
// each pixel a few levels over a level of its own.
#pragma once

#include <benchmark/benchmark.h>

namespace bench {

enum class MedianSamples { Floats, Bytes, StillViewBytes };

void MedianSelect(benchmark::State& state, int frames, bool bySearch, MedianSamples kind);

}  // namespace bench
