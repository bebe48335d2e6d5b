#include <contract/control_values.h>

#include <cmath>
#include <limits>

namespace taviron {

bool CheckboxOn(double value) { return value == 1.0; }

int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // Both bounds are exact doubles; anything at or beyond them saturates.
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    if (value <= lowest) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= highest) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

FilterMethod MethodNumber(double value) {
    // A double beyond the float range becomes +-inf here (the conversion is
    // defined for IEEE floats), which then saturates.
    return static_cast<FilterMethod>(TruncateToInt32(static_cast<double>(static_cast<float>(value))));
}

}  // namespace taviron
