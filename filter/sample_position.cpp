#include "sample_position.h"

#include <cmath>

namespace taviron {

int32_t ClampIndex(int32_t position, int32_t size) {
    if (position < 0) {
        return 0;
    }
    return position >= size ? size - 1 : position;
}

int32_t SampleCoordinate(int32_t position, double shift, int32_t size) {
    const double displaced = position + shift;
    if (std::isnan(displaced)) {
        return ClampIndex(position, size);
    }
    if (displaced < 0.0) {
        return 0;
    }
    if (displaced >= size) {
        return size - 1;
    }
    return static_cast<int32_t>(displaced);
}

double NearlyWholeAsWhole(double shift) {
    const double whole = std::round(shift);
    return std::fabs(shift - whole) <= kWholePixelTolerance ? whole : shift;
}

Displacement TrackingDisplacement(const Point* current, const Point* frame, int32_t width, int32_t height) {
    if (current == nullptr || frame == nullptr) {
        return {};
    }
    return {NearlyWholeAsWhole((current->X - frame->X) * width), NearlyWholeAsWhole((current->Y - frame->Y) * height)};
}

}  // namespace taviron
