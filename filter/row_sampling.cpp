#include "row_sampling.h"

#include "sample_position.h"

#include <algorithm>
#include <cmath>

namespace taviron {

RowSampling::RowSampling(const Image& image, int32_t row, double shiftX)
    : image_(&image),
      width_(image.Width()),
      row_(row),
      shiftX_(shiftX),
      inPlace_(shiftX == 0.0 || std::isnan(shiftX)) {
    if (image.Type() == PixelType::Float) {
        for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
            floatRows_[channel] = static_cast<const float*>(image.RawRow(channel, row));
        }
    } else if (image.Type() == PixelType::UInt8) {
        for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
            byteRows_[channel] = static_cast<const uint8_t*>(image.RawRow(channel, row));
        }
    }
}

TileColumns RowSampling::Locate(int32_t x0, int32_t count, int32_t* list) const {
    if (inPlace_ && x0 + count <= width_) {
        return {true, x0};
    }
    bool consecutive = true;
    for (int32_t i = 0; i < count; ++i) {
        list[i] = inPlace_ ? ClampIndex(x0 + i, width_) : SampleCoordinate(x0 + i, shiftX_, width_);
        consecutive = consecutive && list[i] == list[0] + i;
    }
    return {consecutive, list[0]};
}

const float* RowSampling::ReadElsewhere(int channel, const TileColumns& columns, const int32_t* list,
                                        int32_t count, int32_t padded, float* buffer, float* row) const {
    if (columns.consecutive) {
        // Padding read from the image itself where the row goes on.
        if (floatRows_[channel] != nullptr && columns.first + padded <= width_) {
            return floatRows_[channel] + columns.first;
        }
        image_->ReadRow(channel, row_, columns.first, count, buffer);
    } else {
        const int32_t low = list[0];
        image_->ReadRow(channel, row_, low, list[count - 1] - low + 1, row);
        for (int32_t i = 0; i < count; ++i) {
            buffer[i] = row[list[i] - low];
        }
    }
    std::fill(buffer + count, buffer + padded, 0.0f);
    return buffer;
}

const uint8_t* RowSampling::ReadBytes(int channel, const TileColumns& columns, const int32_t* list, int32_t count,
                                      int32_t padded, uint8_t* buffer) const {
    const uint8_t* row = byteRows_[channel];
    if (columns.consecutive) {
        if (columns.first + padded <= width_) {
            return row + columns.first;
        }
        std::copy_n(row + columns.first, count, buffer);
    } else {
        for (int32_t i = 0; i < count; ++i) {
            buffer[i] = row[list[i]];
        }
    }
    std::fill(buffer + count, buffer + padded, uint8_t{0});
    return buffer;
}

}  // namespace taviron
