#include "io/reading/row_bands.h"

#include <algorithm>

namespace taviron::cli {

namespace {

// Enough rows that the library's calls cost little beside the decoding.
constexpr int32_t kRowsAtLeast = 64;

int32_t RowsPerBand(const OIIO::ImageSpec& spec) {
    int32_t unit = 1;
    if (spec.tile_width > 0 && spec.tile_height > 0) unit = spec.tile_height;
    else if (spec.get_int_attribute("tiff:PlanarConfiguration") == 2)
        unit = std::clamp(spec.get_int_attribute("tiff:RowsPerStrip", spec.height), 1, std::max(1, spec.height));
    return unit * std::max(1, (kRowsAtLeast + unit - 1) / unit);
}

}  // namespace

RowBands::RowBands(OIIO::ImageInput& input, int subimage, const OIIO::ImageSpec& spec)
    : input_(input), subimage_(subimage), spec_(spec), rows_(RowsPerBand(spec)) {}

bool RowBands::Read(int32_t first, int32_t end, OIIO::TypeDesc type, void* data) {
    if (spec_.tile_width > 0 && spec_.tile_height > 0)
        return input_.read_tiles(subimage_, 0, spec_.x, spec_.x + spec_.width, spec_.y + first, spec_.y + end,
                                 spec_.z, spec_.z + 1, 0, spec_.nchannels, type, data);
    return input_.read_scanlines(subimage_, 0, spec_.y + first, spec_.y + end, spec_.z, 0, spec_.nchannels, type,
                                 data);
}

}  // namespace taviron::cli
