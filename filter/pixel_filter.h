// The per-pixel rule's controls and the parts of it that are decided once per
// row: which method, which channels, and the threshold as a float bound.
#pragma once

#include <cstdint>

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

// The threshold restores a channel when threshold > double(d), d the float
// |out - source| (never negative, or NaN). Over floats that is d <= atMost
// for the largest float below the threshold, and never when the threshold is
// 0 or below or NaN.
struct RestoreBound {
    bool active = false;
    float atMost = 0.0f;
};
RestoreBound RestoreBoundFor(double threshold);

}  // namespace taviron
