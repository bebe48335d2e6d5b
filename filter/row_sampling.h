// Reading a row's samples a tile at a time. For one output row every frame is
// read on one row of its own, and the column it is read at never decreases
// along the row, so a tile of pixels needs one span of each frame row: it is
// taken straight from a float plane where it lies there in a run, and
// otherwise converted to float by the host and gathered.
#pragma once

#include <hostsdk/image.h>

#include <cstdint>

namespace taviron {

// The image columns one tile reads: `first` and those after it, or, when
// they do not follow each other, one column per pixel in a list.
struct TileColumns {
    bool consecutive = true;
    int32_t first = 0;
};

// Where one image is read for an output row: its row, and the column for
// each output column.
class RowSampling {
public:
    // The image read at the output position displaced by `shiftX` columns
    // and clamped into the image, on the given row of its own.
    RowSampling(const Image& image, int32_t row, double shiftX);

    // The columns of output columns x0 .. x0 + count - 1; fills `list`
    // (count entries) unless they are consecutive.
    TileColumns Locate(int32_t x0, int32_t count, int32_t* list) const;

    // `padded` floats of one channel, the first `count` at the located
    // columns and the rest padding: a pointer into a float plane, or `buffer`
    // filled. `row` holds at least the image's width of floats.
    const float* Read(int channel, const TileColumns& columns, const int32_t* list, int32_t count, int32_t padded,
                      float* buffer, float* row) const;

private:
    const Image* image_;
    int32_t width_;
    int32_t row_;
    double shiftX_;
    // No displacement (none, or one that is not a number): the column is
    // the output column, clamped.
    bool inPlace_;
};

}  // namespace taviron
