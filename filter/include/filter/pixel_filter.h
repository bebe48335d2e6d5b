// The per-pixel rule's controls and the parts of it that are decided once per
// row: which method, which channels, and the threshold as a float bound.
#pragma once

#include <contract/combo_items.h>

#include <cstdint>

namespace taviron {

// False for a method number that names no item.
bool IsFilterMethod(FilterMethod method);

// The four colour channels of a pixel, in record order.
constexpr int COLOUR_CHANNELS = 4;

// The controls a row works with, converted from their values.
struct RowControls {
    bool channelOn[COLOUR_CHANNELS] = {};  // by Channel: blue, green, red, alpha
    double threshold = 0.0;
    bool useTracking = false;
    FilterMethod method = FilterMethod::Median;  // any number a control gives
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
