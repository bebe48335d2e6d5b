// The filter's entry point: one row of a request's working state. A row reads
// only the working state, which stays unchanged while the rows run, and
// writes only its own pixels of the output, so rows of one request may run
// at once on any threads; the tool's ProcessChunk, the tests, the fuzzer and
// the benchmarks all filter through FilterRow.
#pragma once

#include <filter/pixel_filter.h>
#include <filter/scratch_pool.h>

#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <cstddef>
#include <cstdint>

namespace taviron {

// What the rows of one request read.
struct WorkingState {
    const Image* source = nullptr;
    Image* output = nullptr;                    // the size of `source`
    const Image* mask = nullptr;                // none: every pixel is filtered
    const Point* currentPoint = nullptr;        // may be absent
    const Image* const* frames = nullptr;       // frameCount images, all present
    const Point* const* framePoints = nullptr;  // frameCount points, each may be absent
    size_t frameCount = 0;
};

// Writes every pixel of row y of the output, with scratch storage borrowed
// from the request's pool. Running out of memory throws std::bad_alloc
// before any pixel of the row is written.
void FilterRow(const WorkingState& state, const RowControls& controls, int32_t y, ScratchPool& scratch);

}  // namespace taviron
