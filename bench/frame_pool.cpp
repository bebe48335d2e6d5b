#include "frame_pool.h"

#include <hostsdk/host_ref.h>

#include <memory>
#include <mutex>
#include <random>

namespace bench {
namespace {

taviron::HostRef<Image> NoiseFrame(uint32_t seed) {
    taviron::HostRef<Image> frame(new Image(kWidth, kHeight, PixelType::Float, false));
    std::minstd_rand rng(seed);
    std::uniform_real_distribution<float> noise(0.0f, 1.0f);
    for (int channel = CHAN_BLUE; channel <= CHAN_ALPHA; ++channel) {
        for (int32_t y = 0; y < kHeight; ++y) {
            float* row = static_cast<float*>(frame->RawRow(channel, y));
            for (int32_t x = 0; x < kWidth; ++x) {
                row[x] = noise(rng);
            }
        }
    }
    return frame;
}

}  // namespace

const Image& PoolFrame(int64_t offset) {
    static std::mutex mutex;
    static std::vector<taviron::HostRef<Image>> pool(kPoolFrames);
    const size_t index = static_cast<size_t>(((offset % kPoolFrames) + kPoolFrames) % kPoolFrames);
    const std::lock_guard<std::mutex> lock(mutex);
    if (!pool[index]) {
        pool[index] = NoiseFrame(static_cast<uint32_t>(index) + 1);
    }
    return *pool[index];
}

std::vector<const Image*> WindowFrames(int frames) {
    // Odd windows are centred; an even one reaches one frame further back.
    const int64_t first = -static_cast<int64_t>(frames / 2);
    std::vector<const Image*> window;
    for (int64_t k = first; k < first + frames; ++k) {
        window.push_back(&PoolFrame(k));
    }
    return window;
}

Parameter* PoolClip::Fetch(double time) {
    // The tool only holds a reference; the pool keeps the image.
    Image* frame = const_cast<Image*>(&PoolFrame(static_cast<int64_t>(time - kTime)));
    frame->Use();
    return frame;
}

}  // namespace bench
