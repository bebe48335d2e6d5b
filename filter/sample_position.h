// Where a frame is sampled for an output pixel: at the same position, or
// displaced so that it follows the tracked point, always inside the frame.
#pragma once

#include <hostsdk/parameter.h>

#include <cstdint>

namespace taviron {

// `position` clamped into 0 .. size - 1 (size > 0): the nearest edge pixel.
int32_t ClampIndex(int32_t position, int32_t size);

// The column (or row) of a frame `size` pixels wide (or high) to read for
// output position `position` displaced by `shift` pixels: 0 below 0,
// size - 1 at size or beyond, otherwise truncated toward zero. A displaced
// position that is not a number (inf - inf) samples the undisplaced one.
int32_t SampleCoordinate(int32_t position, double shift, int32_t size);

// Displacement in pixels of a frame `width` x `height`: the current point
// minus the frame's point, in units of the frame's own size. None when either
// point is absent.
struct Displacement {
    double x = 0.0;
    double y = 0.0;
};
Displacement TrackingDisplacement(const Point* current, const Point* frame, int32_t width, int32_t height);

}  // namespace taviron
