// Reading a row's samples a tile at a time. For one output row every frame is
// read on one row of its own, and the column it is read at never decreases
// along the row, so a tile of pixels needs one span of each frame row: it is
// taken straight from a float plane (or an 8-bit one, for a kernel that
// reads bytes) where it lies there in a run, and otherwise converted to float
// by the host and gathered.
#pragma once

#include <filter/pixel_filter.h>

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

    // Whether the tile of output columns x0 .. x0 + padded - 1 lies in the
    // image's float planes at those very columns.
    bool InPlace(int32_t x0, int32_t padded) const {
        return inPlace_ && floatRows_[0] != nullptr && x0 + padded <= width_;
    }
    // Whether every tile of an output row `width` pixels wide does.
    bool InPlaceAlong(int32_t width) const { return InPlace(0, width); }
    // The row of a colour plane of a float image.
    const float* PlaneRow(int channel) const { return floatRows_[channel]; }

    // `padded` floats of one channel for output columns x0 .., the first
    // `count` as sampled and the rest padding: a pointer into a float plane,
    // or `buffer` filled. `list` holds at least count columns and `row` the
    // image's width of floats.
    const float* Read(int channel, int32_t x0, int32_t count, int32_t padded, float* buffer, int32_t* list,
                      float* row) const {
        if (InPlace(x0, padded)) {
            return floatRows_[channel] + x0;
        }
        return ReadElsewhere(channel, Locate(x0, count, list), list, count, padded, buffer, row);
    }

    // The columns of output columns x0 .. x0 + count - 1; fills `list`
    // (count entries) unless they are consecutive.
    TileColumns Locate(int32_t x0, int32_t count, int32_t* list) const;

    // As Read, for columns already located.
    const float* ReadElsewhere(int channel, const TileColumns& columns, const int32_t* list, int32_t count,
                               int32_t padded, float* buffer, float* row) const;

    // Whether the image's samples are 8-bit.
    bool HoldsBytes() const { return byteRows_[0] != nullptr; }
    // As ReadElsewhere, the samples of an 8-bit image as stored: a pointer
    // into its plane where the columns follow each other there, else
    // `buffer` filled, padded with zeros.
    const uint8_t* ReadBytes(int channel, const TileColumns& columns, const int32_t* list, int32_t count,
                             int32_t padded, uint8_t* buffer) const;

private:
    const Image* image_;
    int32_t width_;
    int32_t row_;
    double shiftX_;
    // No displacement (none, or one that is not a number): the column is
    // the output column, clamped.
    bool inPlace_;
    // The row of each colour plane of a float image, else none.
    const float* floatRows_[COLOUR_CHANNELS] = {};
    // The same of an 8-bit image.
    const uint8_t* byteRows_[COLOUR_CHANNELS] = {};
};

}  // namespace taviron
