// The times of one benchmark run, kept so that every filter figure is also
// given as a ratio: to the memory floor (reading the same frames once, on as
// many threads) and to the literal reference (one thread). Floors and
// references are registered first, so their times are known when the filter
// cases run; a summary table closes the run.
#pragma once

#include <benchmark/benchmark.h>

#include <ostream>

namespace bench {

constexpr int kReferenceThreads = 1;

void RecordFloor(int frames, int threads, double seconds);
void RecordReference(int method, int frames, double seconds);

// Records a filter request's time and sets the counters x_floor (time over
// the floor's) and ref_speedup (reference time over this one), where known,
// and ns_per_sample.
void RecordFilter(benchmark::State& state, int method, int frames, int threads, double seconds);

void PrintSummary(std::ostream& out);

}  // namespace bench
