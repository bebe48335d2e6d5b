#include "support/reference_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace reference {

bool TotalOrderLess(float a, float b) {
    uint32_t ua;
    uint32_t ub;
    std::memcpy(&ua, &a, 4);
    std::memcpy(&ub, &b, 4);
    const bool aNegative = (ua >> 31) != 0;
    const bool bNegative = (ub >> 31) != 0;
    if (aNegative != bNegative) {
        return aNegative;
    }
    if (aNegative) {
        return ua > ub;  // the larger magnitude is the smaller value
    }
    return ua < ub;
}

namespace {

int32_t Clamp(int32_t value, int32_t size) {
    if (value < 0) {
        return 0;
    }
    if (value > size - 1) {
        return size - 1;
    }
    return value;
}

// One coordinate of a sample: displaced, then clamped into the frame.
int32_t SampleCoordinate(int32_t position, double displaced, int32_t size) {
    if (std::isnan(displaced)) {
        return Clamp(position, size);
    }
    if (displaced < 0) {
        return 0;
    }
    if (displaced >= size) {
        return size - 1;
    }
    return static_cast<int32_t>(displaced);
}

// A displacement within a millionth of a pixel of a whole number is that
// number.
double WholeWhenNearlyWhole(double shift) {
    const double nearest = std::round(shift);
    if (std::fabs(shift - nearest) <= 1e-6) {
        return nearest;
    }
    return shift;
}

FltPixel ReadSample(const Scene& scene, const Controls& controls, size_t j, int32_t x, int32_t y) {
    const Image* frame = scene.frames[j];
    const Point* point = scene.framePoints[j];
    double px = x;
    double py = y;
    if (controls.useTracking && scene.currentPoint != nullptr && point != nullptr) {
        px = x + WholeWhenNearlyWhole((scene.currentPoint->X - point->X) * frame->Width());
        py = y + WholeWhenNearlyWhole((scene.currentPoint->Y - point->Y) * frame->Height());
    }
    FltPixel sample;
    frame->GetPixel(SampleCoordinate(x, px, frame->Width()), SampleCoordinate(y, py, frame->Height()), sample);
    return sample;
}

float Combine(std::vector<float> values, int32_t method) {
    const size_t n = values.size();
    if (method == 1) {
        float sum = 0.0f;
        for (float value : values) {
            sum += value;
        }
        const float mean = sum / static_cast<float>(n);
        if (std::isnan(mean)) {
            const uint32_t quietNaN = 0x7fc00000u;
            float canonical;
            std::memcpy(&canonical, &quietNaN, 4);
            return canonical;
        }
        return mean;
    }
    std::sort(values.begin(), values.end(), TotalOrderLess);
    if (method == 2) {
        return values[n - 1];
    }
    if (method == 3) {
        return values[0];
    }
    return values[n / 2];
}

void FilterChannel(bool enabled, const std::vector<float>& values, int32_t method, double threshold, float source,
                   float& out) {
    if (!enabled) {
        return;
    }
    out = Combine(values, method);
    const float difference = std::fabs(out - source);
    if (threshold > static_cast<double>(difference)) {
        out = source;
    }
}

}  // namespace

FltPixel FilterPixel(const Scene& scene, const Controls& controls, int32_t x, int32_t y) {
    FltPixel source;
    scene.source->GetPixel(x, y, source);
    FltPixel out = source;

    float maskAlpha = 1.0f;
    if (scene.mask != nullptr && scene.mask->Width() > 0 && scene.mask->Height() > 0) {
        FltPixel maskPixel;
        scene.mask->GetPixel(Clamp(x, scene.mask->Width()), Clamp(y, scene.mask->Height()), maskPixel);
        maskAlpha = maskPixel.A;
    }
    if (maskAlpha <= 0.0f) {
        return out;
    }
    const bool knownMethod = controls.method >= 0 && controls.method <= 3;
    if (scene.frames.empty() || !knownMethod) {
        return out;
    }

    std::vector<float> red;
    std::vector<float> green;
    std::vector<float> blue;
    std::vector<float> alpha;
    for (size_t j = 0; j < scene.frames.size(); ++j) {
        const FltPixel sample = ReadSample(scene, controls, j, x, y);
        red.push_back(sample.R);
        green.push_back(sample.G);
        blue.push_back(sample.B);
        alpha.push_back(sample.A);
    }
    FilterChannel(controls.red, red, controls.method, controls.threshold, source.R, out.R);
    FilterChannel(controls.green, green, controls.method, controls.threshold, source.G, out.G);
    FilterChannel(controls.blue, blue, controls.method, controls.threshold, source.B, out.B);
    FilterChannel(controls.alpha, alpha, controls.method, controls.threshold, source.A, out.A);
    return out;
}

}  // namespace reference
