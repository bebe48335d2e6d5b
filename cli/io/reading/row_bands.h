// Reading an image's data window a band of whole rows at a time, the bands
// cut where the file cuts its pixels: whole rows of tiles for a tiled file,
// whole strips for a TIFF that stores each channel in planes of its own
// (whose compressed strips cannot be entered part way), a few rows for any
// other. The buffer stays a band deep, whatever the layout.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>

namespace taviron::cli {

class RowBands {
public:
    // `spec` is the part's (`subimage`) full-resolution level.
    RowBands(OIIO::ImageInput& input, int subimage, const OIIO::ImageSpec& spec);

    // Rows of a band; every band but the last starts at a multiple of it.
    int32_t Rows() const { return rows_; }
    // Rows [first, end) of the data window, `first` a multiple of Rows()
    // and `end` at most Rows() further, every channel interleaved as `type`.
    bool Read(int32_t first, int32_t end, OIIO::TypeDesc type, void* data);

private:
    OIIO::ImageInput& input_;
    int subimage_;
    const OIIO::ImageSpec& spec_;
    int32_t rows_;
};

}  // namespace taviron::cli
