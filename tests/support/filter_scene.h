// One request's working state made of images and points held by reference,
// filtered through the filter's entry point and read by the literal
// reference: what the filter's tests, fuzzer and scratch tests build on.
#pragma once

#include "support/reference_filter.h"
#include "support/test_images.h"

#include <filter/row_filter.h>

#include <cstdint>
#include <vector>

struct FilterScene {
    ImageRef source;
    ImageRef mask;          // may be absent
    PointRef currentPoint;  // may be absent
    std::vector<ImageRef> frames;
    std::vector<PointRef> framePoints;  // one per frame, each may be absent
};

// Filters rows first, first + step, ... of the output (the source's size)
// from the scene; rows of one output may be filtered on several threads at
// once.
void FilterRows(const FilterScene& scene, Image& output, const taviron::RowControls& controls,
                taviron::ScratchPool& scratch, int32_t first = 0, int32_t step = 1);

// The scene as the literal reference reads it, valid while the scene is.
reference::Scene ReferenceScene(const FilterScene& scene);
