// The two yardsticks of the filter cases: the memory floor, which only reads
// the window's frames once, in the longest streams it can, on the same number
// of threads; and the literal reference, one pixel at a time on one thread.
#include "baseline_bench.h"

#include "bench_results.h"
#include "frame_pool.h"
#include "support/reference_filter.h"

#include <emmintrin.h>

#include <chrono>
#include <thread>
#include <vector>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// The sum of every float of rows [first, last) of the frames, plane by plane:
// the rows of a band lie one after another in a plane, so each is one long
// stream. Four vectors at a time so that the sum keeps up with memory.
float SumBand(const std::vector<const Image*>& frames, int32_t first, int32_t last) {
    __m128 sums[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    const size_t count = static_cast<size_t>(last - first) * kWidth;
    for (const Image* frame : frames) {
        for (int channel = CHAN_BLUE; channel <= CHAN_ALPHA; ++channel) {
            const float* band = static_cast<const float*>(frame->RawRow(channel, first));
            for (size_t i = 0; i + 16 <= count; i += 16) {
                for (int part = 0; part < 4; ++part) {
                    sums[part] = _mm_add_ps(sums[part], _mm_loadu_ps(band + i + 4 * part));
                }
            }
        }
    }
    float lanes[4];
    _mm_storeu_ps(lanes, _mm_add_ps(_mm_add_ps(sums[0], sums[1]), _mm_add_ps(sums[2], sums[3])));
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

// Rows for the reference: the whole frame for narrow windows, a band of
// about the same work for wide ones, its time scaled to the whole frame.
int32_t ReferenceRows(int frames) {
    const int32_t rows = kHeight * 5 / frames;
    return rows < 8 ? 8 : (rows > kHeight ? kHeight : rows);
}

}  // namespace

void MemoryFloor(benchmark::State& state, int frames, int threads) {
    const std::vector<const Image*> window = WindowFrames(frames);
    double seconds = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::vector<float> totals(static_cast<size_t>(threads), 0.0f);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                totals[static_cast<size_t>(t)] = SumBand(window, kHeight * t / threads, kHeight * (t + 1) / threads);
            });
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        benchmark::DoNotOptimize(totals.data());
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    RecordFloor(frames, threads, seconds / static_cast<double>(state.iterations()));
}

void LiteralReference(benchmark::State& state, int method, int frames) {
    reference::Scene scene;
    scene.source = &PoolFrame(0);
    for (const Image* frame : WindowFrames(frames)) {
        scene.frames.push_back(frame);
        scene.framePoints.push_back(nullptr);
    }
    reference::Controls controls;
    controls.method = method;
    const int32_t rows = ReferenceRows(frames);
    double seconds = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int32_t y = 0; y < rows; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                FltPixel pixel = reference::FilterPixel(scene, controls, x, y);
                benchmark::DoNotOptimize(pixel);
            }
        }
        const double frameSeconds =
            std::chrono::duration<double>(Clock::now() - start).count() * kHeight / static_cast<double>(rows);
        state.SetIterationTime(frameSeconds);
        seconds += frameSeconds;
    }
    state.counters["rows_run"] = rows;
    RecordReference(method, frames, seconds / static_cast<double>(state.iterations()));
}

}  // namespace bench
