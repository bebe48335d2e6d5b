#include "filter/pixel_filter.h"

#include "filter/total_order.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace taviron {

bool IsFilterMethod(int32_t method) { return method >= METHOD_MEDIAN && method <= METHOD_RANDOM; }

float ChannelValue(const FltPixel& pixel, int channel) {
    switch (channel) {
    case CHAN_BLUE:
        return pixel.B;
    case CHAN_GREEN:
        return pixel.G;
    case CHAN_RED:
        return pixel.R;
    default:
        return pixel.A;
    }
}

float& ChannelValue(FltPixel& pixel, int channel) {
    switch (channel) {
    case CHAN_BLUE:
        return pixel.B;
    case CHAN_GREEN:
        return pixel.G;
    case CHAN_RED:
        return pixel.R;
    default:
        return pixel.A;
    }
}

PixelFilter::PixelFilter(const RowControls& controls, size_t frameCount)
    : controls_(controls), frameCount_(frameCount) {
    if (controls_.method != METHOD_AVERAGE) {
        for (auto& list : keys_) {
            list.assign(frameCount_, 0);
        }
    }
}

void PixelFilter::TakeSample(size_t frame, const FltPixel& sample) {
    if (controls_.method == METHOD_AVERAGE) {
        for (int c = 0; c < COLOUR_CHANNELS; ++c) {
            sums_[c] += ChannelValue(sample, c);
        }
        return;
    }
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        keys_[c][frame] = OrderKey(ChannelValue(sample, c));
    }
}

void PixelFilter::Finish(const FltPixel& source, FltPixel& out) {
    switch (controls_.method) {
    case METHOD_AVERAGE:
        Average(out);
        break;
    case METHOD_RANDOM:
        PickRandom(out);
        break;
    case METHOD_MAX:
        PickOrdered(frameCount_ - 1, out);
        break;
    case METHOD_MIN:
        PickOrdered(0, out);
        break;
    default:
        // For an even window the upper of the two middle values.
        PickOrdered(frameCount_ / 2, out);
        break;
    }
    ApplyThreshold(source, out);
}

void PixelFilter::Average(FltPixel& out) {
    const float count = static_cast<float>(frameCount_);
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        if (controls_.channelOn[c]) {
            // Which NaN a sum carries depends on the order the hardware takes
            // the operands in; every NaN average is given as the one quiet NaN
            // so that the result does not depend on the compiled code.
            const float mean = sums_[c] / count;
            ChannelValue(out, c) = std::isnan(mean) ? std::numeric_limits<float>::quiet_NaN() : mean;
        }
        sums_[c] = 0.0f;
    }
}

void PixelFilter::PickRandom(FltPixel& out) const {
    // One draw per pixel, also with every channel off; all enabled channels
    // come from the same frame.
    const size_t frame = static_cast<unsigned>(std::rand()) % frameCount_;
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        if (controls_.channelOn[c]) {
            ChannelValue(out, c) = FromOrderKey(keys_[c][frame]);
        }
    }
}

void PixelFilter::PickOrdered(size_t index, FltPixel& out) {
    // Each channel is ordered by itself; the element at `index` is the one a
    // full ascending sort would put there.
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        if (controls_.channelOn[c]) {
            auto& list = keys_[c];
            std::nth_element(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(index), list.end());
            ChannelValue(out, c) = FromOrderKey(list[index]);
        }
    }
}

void PixelFilter::ApplyThreshold(const FltPixel& source, FltPixel& out) const {
    for (int c = 0; c < COLOUR_CHANNELS; ++c) {
        const float difference = std::fabs(ChannelValue(out, c) - ChannelValue(source, c));
        if (controls_.channelOn[c] && controls_.threshold > static_cast<double>(difference)) {
            ChannelValue(out, c) = ChannelValue(source, c);
        }
    }
}

}  // namespace taviron
