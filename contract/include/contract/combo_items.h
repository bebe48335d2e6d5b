// The items of the tool's two item controls, by position: a control's value
// is the position of its item. Only enumerations and constant data, so that
// code built for any instruction set may include it.
#pragma once

#include <cstdint>

namespace taviron {

// "Filter method": what a channel's samples become.
enum class FilterMethod : int32_t {
    Median = 0,
    Average = 1,
    Max = 2,
    Min = 3,
    Random = 4,
};
inline constexpr int kFilterMethodCount = 5;
inline constexpr const char* kFilterMethodItems[kFilterMethodCount] = {"Median", "Average", "Max", "Min", "Random"};

// "Sample Direction": which side of the current frame the window reaches.
enum class SampleDirection : int32_t {
    Backward = 0,
    Both = 1,
    Forward = 2,
};
inline constexpr int kSampleDirectionCount = 3;
// "Foreward" is the host's own spelling, which compositions store.
inline constexpr const char* kSampleDirectionItems[kSampleDirectionCount] = {"Backward", "Both", "Foreward"};

}  // namespace taviron
