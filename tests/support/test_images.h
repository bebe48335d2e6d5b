// Small helpers for the filter tests: images held by reference, bit-level
// comparison of pixels.
#pragma once

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <cstdint>
#include <string>

using ImageRef = taviron::HostRef<Image>;
using PointRef = taviron::HostRef<Point>;

// A float image with a depth plane, every pixel zero.
ImageRef MakeImage(int32_t width, int32_t height);
ImageRef MakeFilledImage(int32_t width, int32_t height, const FltPixel& pixel);

FltPixel Pixel(float b, float g, float r, float a, float z = 0.0f);

uint32_t Bits(float value);
float FromBits(uint32_t bits);

// Whether every float of the two records has the same bits.
bool SameBits(const FltPixel& a, const FltPixel& b);
std::string Describe(const FltPixel& pixel);
