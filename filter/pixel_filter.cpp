#include <filter/pixel_filter.h>

#include <cmath>
#include <limits>

namespace taviron {

bool IsFilterMethod(FilterMethod method) {
    const auto position = static_cast<int32_t>(method);
    return position >= 0 && position < kFilterMethodCount;
}

RestoreBound RestoreBoundFor(double threshold) {
    if (!(threshold > 0.0)) {
        return {};
    }
    // Rounded to nearest, then stepped down when that is not below it; a
    // threshold beyond the float range gives the largest finite float.
    float bound = static_cast<float>(threshold);
    if (static_cast<double>(bound) >= threshold) {
        bound = std::nextafter(bound, -std::numeric_limits<float>::infinity());
    }
    return {true, bound};
}

}  // namespace taviron
