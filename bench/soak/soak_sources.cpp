#include "soak_sources.h"

#include <hostsdk/parameter.h>

#include <cmath>
#include <random>

ClipSource::ClipSource(int32_t width, int32_t height, int count, uint32_t seed, float alphaFloor)
    : missing_(static_cast<size_t>(count), false) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(0.0f, 1.0f);
    std::uniform_real_distribution<float> alpha(alphaFloor, 1.0f);
    for (int i = 0; i < count; ++i) {
        Image* frame = new Image(width, height, PixelType::Float, true);
        for (int channel = CHAN_BLUE; channel < CHANNEL_COUNT; ++channel) {
            for (int32_t y = 0; y < height; ++y) {
                float* row = static_cast<float*>(frame->RawRow(channel, y));
                for (int32_t x = 0; x < width; ++x) {
                    row[x] = channel == CHAN_ALPHA ? alpha(rng) : noise(rng);
                }
            }
        }
        frames_.push_back(frame);
    }
}

ClipSource::~ClipSource() {
    for (Image* frame : frames_) {
        frame->Recycle();
    }
}

bool ClipSource::Has(double time) const {
    if (time != std::floor(time) || time < 0.0 || time >= static_cast<double>(frames_.size())) {
        return false;
    }
    return !missing_[static_cast<size_t>(time)];
}

Parameter* ClipSource::Fetch(double time) {
    if (!Has(time)) {
        return nullptr;
    }
    Image* frame = frames_[static_cast<size_t>(time)];
    frame->Use();
    return frame;
}

Parameter* CirclingPoint::Fetch(double time) {
    return new Point(0.5 + 0.05 * std::cos(time * 0.7), 0.5 + 0.05 * std::sin(time * 0.7));
}
