// Turns fuzz input into a filter scene: controls, the window control values,
// a window of frames with their track points, a mask, a source and the kind
// of output image. Images and points are host objects held by reference;
// pixels come from a small pool of values (NaN payloads, infinities, signed
// zeros, denormals, raw bits) spread over the images by a generator seeded
// from the input, so that short inputs still make varied images.
#pragma once

#include "support/filter_scene.h"

#include <filter/pixel_filter.h>
#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>
#include <hostsdk/parameter.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

struct FuzzScene : FilterScene {
    taviron::RowControls controls;
    int32_t framesControl = 0;  // "Frames", as the window was gathered
    int32_t direction = 0;      // "Sample Direction"
    PixelType outputType = PixelType::Float;
    bool outputDepth = true;
};

FuzzScene DecodeScene(FuzzedDataProvider& data);
