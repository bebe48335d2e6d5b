#include "bench_results.h"

#include "frame_pool.h"

#include <cstdio>
#include <map>
#include <tuple>

namespace bench {
namespace {

const char* const kMethodNames[] = {"median", "average", "max", "min", "random"};

std::map<std::tuple<int, int>, double> floors;              // frames, threads
std::map<std::tuple<int, int>, double> references;          // method, frames
std::map<std::tuple<int, int, int>, double> filterTimes;    // method, frames, threads

double SamplesPerRequest(int frames) { return static_cast<double>(kWidth) * kHeight * frames; }

template <typename Map, typename Key>
double Find(const Map& map, const Key& key) {
    const auto found = map.find(key);
    return found == map.end() ? 0.0 : found->second;
}

}  // namespace

void RecordFloor(int frames, int threads, double seconds) { floors[{frames, threads}] = seconds; }

void RecordReference(int method, int frames, double seconds) { references[{method, frames}] = seconds; }

void RecordFilter(benchmark::State& state, int method, int frames, int threads, double seconds) {
    filterTimes[{method, frames, threads}] = seconds;
    state.counters["ns_per_sample"] = seconds * 1e9 / SamplesPerRequest(frames);
    if (const double floor = Find(floors, std::make_tuple(frames, threads)); floor > 0.0) {
        state.counters["x_floor"] = seconds / floor;
    }
    if (const double reference = Find(references, std::make_tuple(method, frames)); reference > 0.0) {
        state.counters["ref_speedup"] = reference / seconds;
    }
}

void PrintSummary(std::ostream& out) {
    if (filterTimes.empty()) {
        return;
    }
    out << "\nmethod   frames threads  filter_ms  ns/sample   floor_ms  x_floor  ref_ms(1t)  ref_speedup\n";
    for (const auto& [key, seconds] : filterTimes) {
        const auto [method, frames, threads] = key;
        const double floor = Find(floors, std::make_tuple(frames, threads));
        const double reference = Find(references, std::make_tuple(method, frames));
        char line[200];
        std::snprintf(line, sizeof line, "%-8s %6d %7d %10.1f %10.3f %10.1f %8.2f %11.0f %12.1f\n",
                      kMethodNames[method], frames, threads, seconds * 1e3, seconds * 1e9 / SamplesPerRequest(frames),
                      floor * 1e3, floor > 0.0 ? seconds / floor : 0.0, reference * 1e3,
                      reference > 0.0 ? reference / seconds : 0.0);
        out << line;
    }
    out << "(0: not measured in this run; the reference has no random method)\n";
}

}  // namespace bench
