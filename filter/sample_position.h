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

// A displacement within this many pixels of a whole number counts as that
// number. Trackers write positions as pixel / size, and the difference of two
// such points scaled back by the size misses a whole move by a hair
// (2.9999999999999805 for 3 at a width of 400), which truncation would sample
// one pixel off. The hair is near 1e-12 px at 4K; a move meant to fall between
// pixels is far more than 1e-6 px from a whole number.
constexpr double kWholePixelTolerance = 1e-6;

// `shift` as the whole number of pixels it is within kWholePixelTolerance of,
// otherwise unchanged.
double NearlyWholeAsWhole(double shift);

// Displacement in pixels of a frame `width` x `height`: the current point
// minus the frame's point, in units of the frame's own size, nearly whole
// moves made whole. None when either point is absent.
struct Displacement {
    double x = 0.0;
    double y = 0.0;
};
Displacement TrackingDisplacement(const Point* current, const Point* frame, int32_t width, int32_t height);

}  // namespace taviron
