// The row kernel: computes one row of the output from the request's working
// state. A row reads only shared, unchanging state and writes only its own
// pixels, so rows of one request may run at once.
#pragma once

#include "filter/pixel_filter.h"

#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <cstddef>
#include <cstdint>

namespace taviron {

struct RowJob {
    const Image* source = nullptr;
    Image* output = nullptr;             // the size of `source`
    const Image* mask = nullptr;         // none: every pixel is filtered
    const Point* currentPoint = nullptr;  // may be absent
    const Image* const* frames = nullptr;      // frameCount images, all present
    const Point* const* framePoints = nullptr;  // frameCount points, each may be absent
    size_t frameCount = 0;
    RowControls controls;
};

// Writes every pixel of row y of the output.
void FilterRow(const RowJob& job, int32_t y);

}  // namespace taviron
