// A deliberately plain statement of the per-pixel temporal filter: one pixel
// at a time, every step in its order, a full sort per channel. It shares no
// code with the product and is the yardstick for any faster row kernel.
// Mended where the plain rule is undefined: NaN samples are ordered by IEEE
// totalOrder, a NaN average is the quiet NaN 0x7fc00000, an empty window or
// an unknown method keeps the source, reads are clamped into each image.
#pragma once

#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <cstdint>
#include <vector>

namespace reference {

struct Controls {
    bool red = true;
    bool green = true;
    bool blue = true;
    bool alpha = true;
    double threshold = 0.0;
    bool useTracking = false;
    int32_t method = 0;  // 0 median, 1 average, 2 max, 3 min; no random here
};

struct Scene {
    const Image* source = nullptr;
    const Image* mask = nullptr;          // none: every pixel filtered
    const Point* currentPoint = nullptr;  // may be absent
    std::vector<const Image*> frames;
    std::vector<const Point*> framePoints;  // may hold absent points
};

// IEEE 754 totalOrder: -NaN < -inf < ... < -0 < +0 < ... < +inf < +NaN.
bool TotalOrderLess(float a, float b);

// The output pixel at (x, y).
FltPixel FilterPixel(const Scene& scene, const Controls& controls, int32_t x, int32_t y);

}  // namespace reference
