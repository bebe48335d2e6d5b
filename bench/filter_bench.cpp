// Whole requests of the Taviron tool, through Process as the host calls it:
// one 1920x1080 float RGBA frame filtered by every method over windows of 1
// to 501 frames on 1 and 2 worker threads, with the memory floor and the
// literal reference of each window in the same run, and the median-select
// crossover. Narrow a run with --benchmark_filter, e.g.
//   --benchmark_filter='frames:7/'   or   'median.*frames:(25|501)/'
// The kernel path is the widest the CPU has unless TAVIRON_KERNEL names one.
#include "baseline_bench.h"
#include "bench_results.h"
#include "frame_pool.h"
#include "median_select_bench.h"

#include "support/plugin_module.h"

#include <contract/tool_ids.h>
#include <filter/kernel_path.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>

namespace {

namespace link_id = taviron::link_id;

const char* const kMethodNames[] = {"median", "average", "max", "min", "random"};
constexpr int kWindows[] = {1, 3, 7, 9, 25, 101, 501};

Operator* NewTool() {
    static const std::unique_ptr<Module> module = LoadTavironModule();
    Registry* record = FindTavironRecord();
    return record == nullptr ? nullptr : record->Create(ScriptVal{}, TagList{});
}

// Frames and direction giving exactly `frames` window frames: Both gives
// 2F + 1; one frame needs a direction that names none, which takes offset 0
// alone (Frames 0 would pass the source through unfiltered).
void SetWindow(Operator* tool, int frames) {
    const bool single = frames == 1;
    InputOf(tool, link_id::kFrames)->SetValue(single ? 1.0 : (frames - 1) / 2);
    InputOf(tool, link_id::kSampleDirection)->SetValue(single ? 3.0 : 1.0);
}

void FilterRequest(benchmark::State& state, int method, int frames, int threads) {
    Operator* tool = NewTool();
    if (tool == nullptr) {
        state.SkipWithError("the module entered no Orlemby.Taviron");
        return;
    }
    bench::WindowFrames(frames);  // made before the clock runs
    InputOf(tool, link_id::kInput)->Connect(std::make_shared<bench::PoolClip>());
    SetWindow(tool, frames);
    InputOf(tool, link_id::kFilterMethod)->SetValue(method);
    Output* output = OutputOf(tool, link_id::kOutput);

    const unsigned workers = WorkerThreadCount();
    SetWorkerThreadCount(static_cast<unsigned>(threads));
    auto request = [tool, output] {
        Request request(tool, bench::kTime);
        tool->Process(&request);
        Parameter* result = request.TakeOutputData(output);
        benchmark::DoNotOptimize(result);
        if (result != nullptr) {
            result->Recycle();
        }
    };
    // One request first, untimed: the host's first images of this size
    // come from fresh pages, later ones from the images that went.
    request();
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        request();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    SetWorkerThreadCount(workers);
    bench::RecordFilter(state, method, frames, threads, seconds / static_cast<double>(state.iterations()));
    tool->Recycle();
}

std::string Suffix(int frames) { return "/frames:" + std::to_string(frames) + "/"; }

void RegisterWindow(int frames) {
    for (int threads : {1, 2}) {
        benchmark::RegisterBenchmark(("floor" + Suffix(frames) + "threads:" + std::to_string(threads)).c_str(),
                                     bench::MemoryFloor, frames, threads)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (int method = 0; method <= 3; ++method) {
        benchmark::RegisterBenchmark((std::string("reference/") + kMethodNames[method] + Suffix(frames) + "threads:1")
                                         .c_str(),
                                     bench::LiteralReference, method, frames)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1);
    }
    for (int method = 0; method <= 4; ++method) {
        for (int threads : {1, 2}) {
            benchmark::RegisterBenchmark((std::string("filter/") + kMethodNames[method] + Suffix(frames) +
                                          "threads:" + std::to_string(threads))
                                             .c_str(),
                                         FilterRequest, method, frames, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(frames > 25 ? 0.01 : 0.3);
        }
    }
}

void RegisterMedianSelect() {
    for (int frames : {3, 7, 9, 15, 25, 32, 40, 41, 48, 64, 65, 101, 501}) {
        for (bool bySearch : {false, true}) {
            const std::string how = bySearch ? "search" : "chosen";
            benchmark::RegisterBenchmark(("median_select/" + how + Suffix(frames)).c_str(), bench::MedianSelect,
                                         frames, bySearch, bench::MedianSamples::Floats);
        }
    }
    for (int frames : {3, 7, 9, 15, 25, 32, 40, 48, 64, 65, 81, 101, 255}) {
        for (bool bySearch : {false, true}) {
            const std::string how = bySearch ? "search" : "chosen";
            benchmark::RegisterBenchmark(("median_select_bytes/" + how + Suffix(frames)).c_str(),
                                         bench::MedianSelect, frames, bySearch, bench::MedianSamples::Bytes);
        }
    }
    for (int frames : {7, 15, 25, 32, 40, 41, 81, 255}) {
        for (bool bySearch : {false, true}) {
            const std::string how = bySearch ? "search" : "chosen";
            benchmark::RegisterBenchmark(("median_select_still_bytes/" + how + Suffix(frames)).c_str(),
                                         bench::MedianSelect, frames, bySearch, bench::MedianSamples::StillViewBytes);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("kernel_path", taviron::KernelPathName(taviron::ActiveKernelPath()));
    benchmark::AddCustomContext(
        "frames", "1920x1080 float RGBA noise, " + std::to_string(bench::kPoolFrames) +
                      " distinct frames; a wider window reuses them (its frame k is pool frame k mod " +
                      std::to_string(bench::kPoolFrames) +
                      "), so its floor re-reads each from memory while the filter finds most rows in cache");
    benchmark::AddCustomContext("ratios", "x_floor: time over the floor on as many threads; ref_speedup: the "
                                          "one-thread reference's time over this one");
    for (int frames : kWindows) {
        RegisterWindow(frames);
    }
    RegisterMedianSelect();
    benchmark::RunSpecifiedBenchmarks();
    bench::PrintSummary(std::cout);
    benchmark::Shutdown();
    return 0;
}
