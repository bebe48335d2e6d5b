// Turns fuzz input into a filter scene: controls, the window control values,
// a window of frames with their track points, a mask, a source and the kind
// of output image. Images and points are host objects held by reference;
// pixels come from a small pool of values (NaN payloads, infinities, signed
// zeros, denormals, raw bits) spread over the images by a generator seeded
// from the input, so that short inputs still make varied images.
#pragma once

#include "filter/host_ref.h"
#include "filter/pixel_filter.h"

#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

struct FuzzScene {
    taviron::RowControls controls;
    int32_t framesControl = 0;  // "Frames", as the window was gathered
    int32_t direction = 0;      // "Sample Direction"
    taviron::HostRef<Image> source;
    taviron::HostRef<Image> mask;          // may be absent
    taviron::HostRef<Point> currentPoint;  // may be absent
    std::vector<taviron::HostRef<Image>> frames;       // all present
    std::vector<taviron::HostRef<Point>> framePoints;  // each may be absent
    PixelType outputType = PixelType::Float;
    bool outputDepth = true;
};

FuzzScene DecodeScene(FuzzedDataProvider& data);
