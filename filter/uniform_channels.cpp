#include "uniform_channels.h"

#include "row_scratch.h"

#include <algorithm>
#include <cstring>

namespace taviron {
namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The result of filtering one pixel whose samples of `channel` are `values`,
// neither restored by the threshold nor masked.
float FilteredValue(const float* values, size_t frameCount, FilterMethod method, int channel, TileKernel kernel,
                    UniformScratch& scratch) {
    constexpr size_t lanes = kTilePadding;
    // The frames' values, then a source of zeros, then the four outputs.
    float* samples = AtLeast(scratch.samples, (frameCount + 1 + COLOUR_CHANNELS) * lanes);
    const float** rows = AtLeast(scratch.sampleRows, frameCount * COLOUR_CHANNELS);
    TileJob job;
    job.method = method;
    job.frameCount = frameCount;
    job.columns = 1;
    job.paddedColumns = static_cast<int32_t>(lanes);
    for (size_t j = 0; j < frameCount; ++j) {
        for (size_t lane = 0; lane < lanes; ++lane) samples[j * lanes + lane] = values[j];
        rows[static_cast<size_t>(channel) * frameCount + j] = samples + j * lanes;
    }
    float* source = samples + frameCount * lanes;
    std::fill_n(source, lanes, 0.0f);
    job.samples = rows;
    job.channelOn[channel] = true;
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        job.source[c] = source;
        job.out[c] = source + static_cast<size_t>(1 + c) * lanes;
    }
    job.keys = AtLeast(scratch.keys, frameCount * lanes);
    kernel(job);
    return job.out[channel][0];
}

}  // namespace

UniformChannels FindUniformChannels(const Image* const* frames, size_t frameCount, const RowControls& controls,
                                    TileKernel kernel, UniformScratch& scratch) {
    UniformChannels found;
    if (frameCount == 0 || !IsFilterMethod(controls.method)) return found;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        if (!controls.channelOn[channel]) continue;
        float* value = AtLeast(scratch.values, frameCount);
        bool uniform = true;
        bool same = true;
        for (size_t j = 0; uniform && j < frameCount; ++j) {
            uniform = frames[j]->UniformPlane(channel, &value[j]);
            same = same && SameBits(value[j], value[0]);
        }
        if (!uniform || (controls.method == FilterMethod::Random && !same)) continue;
        found.uniform[channel] = true;
        found.result[channel] = controls.method == FilterMethod::Random
                                    ? value[0]
                                    : FilteredValue(value, frameCount, controls.method, channel, kernel, scratch);
    }
    return found;
}

}  // namespace taviron
