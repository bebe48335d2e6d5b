// The median of one tile 512 columns wide, by the kernel's own choice (a
// selection network up to its widest one) and by the search that wider
// windows take, to place the crossover between the two; of float samples, or
// of 8-bit ones as stored.
#pragma once

#include <benchmark/benchmark.h>

namespace bench {

void MedianSelect(benchmark::State& state, int frames, bool bySearch, bool asBytes);

}  // namespace bench
