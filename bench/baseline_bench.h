// Benchmark bodies of the memory floor and the literal reference for one
// 1920x1080 float RGBA request over a window of `frames` pool frames.
#pragma once

#include <benchmark/benchmark.h>

namespace bench {

void MemoryFloor(benchmark::State& state, int frames, int threads);
// The reference on one thread; frame time scaled up from a band of rows for
// wide windows (counter rows_run).
void LiteralReference(benchmark::State& state, int method, int frames);

}  // namespace bench
