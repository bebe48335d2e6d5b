// The threshold as a float bound: the vector kernels compare float
// differences with it, and must restore exactly where the rule's double
// comparison threshold > double(d) does.
#include <filter/pixel_filter.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float kFloatMax = std::numeric_limits<float>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kSmallestDenormal = std::numeric_limits<float>::denorm_min();

// Differences around a threshold: its float neighbours and the extremes.
std::vector<float> DifferencesNear(double threshold) {
    std::vector<float> differences = {0.0f, kSmallestDenormal, 1.0f, kFloatMax, kInf,
                                      std::numeric_limits<float>::quiet_NaN()};
    if (std::isfinite(threshold) && std::fabs(threshold) <= kFloatMax) {
        float near = static_cast<float>(std::fabs(threshold));
        for (int step = 0; step < 3; ++step) {
            near = std::nextafter(near, 0.0f);
        }
        for (int step = 0; step < 6; ++step) {
            differences.push_back(near);
            near = std::nextafter(near, kInf);
        }
    }
    return differences;
}

TEST(FilterRestoreBound, RestoresExactlyWhereTheDoubleComparisonDoes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> thresholds = {
        0.0, -0.0, -1.0, nan, inf, -inf, 0.25, 0.1, 1.0 / 3.0,  // 0.1 and 1/3 lie between floats
        1e-50, 1e-45, 1.5e-45, static_cast<double>(kSmallestDenormal),
        static_cast<double>(kFloatMax), std::nextafter(static_cast<double>(kFloatMax), inf), 1e39, 1e300};
    for (double threshold : thresholds) {
        const taviron::RestoreBound bound = taviron::RestoreBoundFor(threshold);
        for (float difference : DifferencesNear(threshold)) {
            const bool byDouble = threshold > static_cast<double>(difference);
            const bool byFloat = bound.active && difference <= bound.atMost;
            EXPECT_EQ(byFloat, byDouble) << "threshold " << threshold << ", difference " << difference;
        }
    }
}

}  // namespace
