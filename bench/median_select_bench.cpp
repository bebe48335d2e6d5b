#include "median_select_bench.h"

#include <filter/kernel_path.h>
#include <filter/tile_job.h>

#include <algorithm>
#include <random>
#include <vector>

namespace bench {

void MedianSelect(benchmark::State& state, int frames, bool bySearch, MedianSamples kind) {
    constexpr int32_t kColumns = 512;
    constexpr int kChannels = 4;
    const size_t n = static_cast<size_t>(frames);
    std::minstd_rand rng(7);
    std::uniform_real_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> samples(n * kChannels * kColumns);
    for (float& sample : samples) {
        sample = noise(rng);
    }
    std::vector<const float*> spans;
    for (size_t entry = 0; entry < n * kChannels; ++entry) {
        spans.push_back(samples.data() + entry * kColumns);
    }
    std::vector<uint8_t> bytes(samples.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(samples[i] * 255.0f);
    }
    if (kind == MedianSamples::StillViewBytes) {
        // Up to 7 levels over each column's level, the spread of a still view
        // of real footage at most of its pixels.
        std::uniform_int_distribution<int> jitter(0, 7);
        for (size_t i = kColumns; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(std::min(255, bytes[i % kColumns] + jitter(rng)));
        }
    }
    std::vector<const uint8_t*> byteSpans;
    for (size_t entry = 0; entry < n * kChannels; ++entry) {
        byteSpans.push_back(bytes.data() + entry * kColumns);
    }
    std::vector<float> source(kChannels * kColumns, 0.5f);
    std::vector<float> out(kChannels * kColumns);
    std::vector<int32_t> keys(n * taviron::kTilePadding);

    taviron::TileJob job;
    job.method = taviron::FilterMethod::Median;
    job.frameCount = n;
    job.columns = kColumns;
    job.paddedColumns = kColumns;
    job.samples = spans.data();
    job.bytes = kind == MedianSamples::Floats ? nullptr : byteSpans.data();
    for (int channel = 0; channel < kChannels; ++channel) {
        job.source[channel] = source.data() + channel * kColumns;
        job.out[channel] = out.data() + channel * kColumns;
        job.channelOn[channel] = true;
    }
    job.medianBySearch = bySearch;
    job.keys = keys.data();
    const taviron::TileKernel kernel = taviron::ActiveTileKernel();
    for (auto _ : state) {
        kernel(job);
        benchmark::DoNotOptimize(out.data());
    }
    const double samplesPerTile = static_cast<double>(kColumns) * kChannels * frames;
    // Inverted rate of samples per nanosecond: nanoseconds per sample.
    state.counters["ns_per_sample"] = benchmark::Counter(
        samplesPerTile / 1e9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace bench
