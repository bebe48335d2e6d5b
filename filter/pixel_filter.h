// The per-pixel rule: the samples of one pixel over the window combined by
// the filter method into each enabled channel, then the threshold.
#pragma once

#include <hostsdk/image.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace taviron {

// Values of the "Filter method" control.
enum FilterMethod : int32_t {
    METHOD_MEDIAN = 0,
    METHOD_AVERAGE = 1,
    METHOD_MAX = 2,
    METHOD_MIN = 3,
    METHOD_RANDOM = 4,
};

bool IsFilterMethod(int32_t method);

// The four colour channels of a pixel, in record order.
constexpr int COLOUR_CHANNELS = 4;

// The controls a row works with, converted from their values.
struct RowControls {
    bool channelOn[COLOUR_CHANNELS] = {};  // by Channel: blue, green, red, alpha
    double threshold = 0.0;
    bool useTracking = false;
    int32_t method = METHOD_MEDIAN;
};

// The mask does not blend: alpha 0 or below leaves the pixel alone, any other
// value (NaN included) lets it be filtered in full.
inline bool MaskFilters(float maskAlpha) { return !(maskAlpha <= 0.0f); }

float ChannelValue(const FltPixel& pixel, int channel);
float& ChannelValue(FltPixel& pixel, int channel);

// Combines the samples of one pixel at a time. Made once per row with a known
// method and a window of at least one frame; per pixel, every frame's sample
// is taken in window order and then Finish builds the output.
class PixelFilter {
public:
    PixelFilter(const RowControls& controls, size_t frameCount);

    void TakeSample(size_t frame, const FltPixel& sample);

    // `out` holds a copy of the source pixel; its enabled channels become the
    // combined samples, then any that lies within the threshold of the source
    // is restored. Leaves the filter ready for the next pixel.
    void Finish(const FltPixel& source, FltPixel& out);

private:
    void Average(FltPixel& out);
    void PickRandom(FltPixel& out) const;
    void PickOrdered(size_t index, FltPixel& out);
    void ApplyThreshold(const FltPixel& source, FltPixel& out) const;

    RowControls controls_;
    size_t frameCount_;
    // Running sums, for "Average" only.
    float sums_[COLOUR_CHANNELS] = {};
    // Order keys of the samples, one list per channel, for the other methods.
    std::vector<int32_t> keys_[COLOUR_CHANNELS];
};

}  // namespace taviron
