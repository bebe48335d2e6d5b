// The parts of a multi-part OpenEXR file, as renderers write a beauty part
// beside parts of their own passes. The tool filters the part that holds the
// colour channels; every other part reaches the output as the current frame
// holds it, in its place among the parts and under its name.
#pragma once

#include "io/frame_pattern.h"

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

namespace taviron::cli {

// Every part's full-resolution level, in the file's order; leaves `input` at
// the first part.
std::vector<OIIO::ImageSpec> PartsOf(OIIO::ImageInput& input);

// The first part with a channel named R, G or B (or red, green, blue); the
// first part when none has one.
int ColourPartOf(const std::vector<OIIO::ImageSpec>& parts);

// Throws an input error naming `path` and the part when a part other than
// `colour` cannot be carried through (deep parts).
void RequireCarriableParts(const std::string& path, const std::vector<OIIO::ImageSpec>& parts, int colour);

// Before rendering: the first frame of `input` on disk has no part that
// cannot be carried, and its parts, if more than one, go to an output that
// holds parts. Throws an input or usage error naming the file and the part.
void RefuseUncarriedParts(const FramePattern& input, const FramePattern& output, const std::vector<int>& frames);

// Writes part `part` of `source` into `output`, already open at that part,
// sample for sample in the types the source stores; the reason it failed,
// or empty.
std::string CopyPart(const std::string& source, int part, OIIO::ImageOutput& output);

// Only OpenEXR keeps parts with their names; the pages of a TIFF have none.
bool HoldsParts(const OIIO::ImageOutput& output);

// The image description a carried part is written with: as read, in whole-resolution lines.
OIIO::ImageSpec CarriedSpec(const OIIO::ImageSpec& part);

}  // namespace taviron::cli
