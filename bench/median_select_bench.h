// The median of one tile by selection network and by key bisection, from
// cache, to place the crossover between the two (kLargestMedianNetwork).
#pragma once

#include <benchmark/benchmark.h>

namespace bench {

void MedianSelect(benchmark::State& state, int frames, bool byNetwork);

}  // namespace bench
