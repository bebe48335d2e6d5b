#include "filter/row_filter.h"

#include "filter/kernel_path.h"
#include "filter/row_sampling.h"
#include "filter/sample_position.h"
#include "filter/tile_job.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace taviron {
namespace {

// The samples of a tile that are converted into buffers (frames x columns x
// channels) stay within this many bytes, so that wide windows are filtered
// from cache; samples read in place from float planes take no buffer.
constexpr size_t kTileBufferBytes = 256 * 1024;
constexpr int32_t kWidestTile = 512;

int32_t TileWidthFor(size_t convertedFrames) {
    const size_t fits = kTileBufferBytes / (std::max<size_t>(convertedFrames, 1) * COLOUR_CHANNELS * sizeof(float));
    const size_t columns = std::min<size_t>(fits, kWidestTile) / kTilePadding * kTilePadding;
    return static_cast<int32_t>(std::max<size_t>(columns, kTilePadding));
}

int32_t Padded(int32_t columns) { return (columns + kTilePadding - 1) / kTilePadding * kTilePadding; }

// Copies row y of the source, depth included, to the output unchanged.
void CopySourceRow(const RowJob& job, int32_t y) {
    const int32_t width = job.source->Width();
    if (job.output->Type() == PixelType::Float) {
        for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
            void* row = job.output->RawRow(channel, y);
            if (row != nullptr) {
                job.source->ReadRow(channel, y, 0, width, static_cast<float*>(row));
            }
        }
        return;
    }
    FltPixel pixel;
    for (int32_t x = 0; x < width; ++x) {
        job.source->GetPixel(x, y, pixel);
        job.output->SetPixel(x, y, pixel);
    }
}

// One output row: where each image is read, the tile being filtered and the
// row's scratch storage, made once for the row.
class RowFilter {
public:
    RowFilter(const RowJob& job, int32_t y);

    int32_t TileWidth() const { return tileWidth_; }
    void FilterTile(int32_t x0, int32_t count);

private:
    const float* Read(const RowSampling& image, int channel, int32_t x0, int32_t count, float* buffer);
    void GatherFrame(size_t j, int32_t x0, int32_t count, int32_t padded);
    void WriteTile(int32_t x0, int32_t count);

    const RowJob& job_;
    int32_t y_;
    size_t frameCount_;
    int32_t tileWidth_;
    TileKernel kernel_;
    RowSampling source_;
    std::vector<RowSampling> frames_;
    // For each frame, its buffers' place among those of the converted
    // frames, or kInPlace.
    std::vector<size_t> bufferSlot_;
    std::vector<RowSampling> mask_;  // none or one
    TileJob tile_;
    bool outputInPlace_;

    std::vector<const float*> samples_;
    std::unique_ptr<float[]> sampleBuffers_;  // converted frames x channels x tile
    std::unique_ptr<float[]> ownBuffers_;     // source, mask and output of a tile
    std::unique_ptr<float[]> imageRow_;       // a whole row, to gather from
    std::unique_ptr<int32_t[]> columns_;
    std::unique_ptr<int32_t[]> keys_;
};

RowSampling FrameRow(const RowJob& job, size_t j, int32_t y) {
    const Image& frame = *job.frames[j];
    Displacement shift;
    if (job.controls.useTracking) {
        shift = TrackingDisplacement(job.currentPoint, job.framePoints[j], frame.Width(), frame.Height());
    }
    return RowSampling(frame, SampleCoordinate(y, shift.y, frame.Height()), shift.x);
}

constexpr size_t kInPlace = SIZE_MAX;

RowFilter::RowFilter(const RowJob& job, int32_t y)
    : job_(job),
      y_(y),
      frameCount_(job.frameCount),
      kernel_(ActiveTileKernel()),
      source_(*job.source, y, 0.0),
      outputInPlace_(job.output->Type() == PixelType::Float) {
    const int32_t width = job.source->Width();
    int32_t widest = width;
    size_t converted = 0;
    frames_.reserve(frameCount_);
    bufferSlot_.reserve(frameCount_);
    for (size_t j = 0; j < frameCount_; ++j) {
        frames_.push_back(FrameRow(job, j, y));
        bufferSlot_.push_back(frames_.back().InPlaceAlong(Padded(width)) ? kInPlace : converted++);
        widest = std::max(widest, job.frames[j]->Width());
    }
    // A mask of another size is read at the nearest pixel inside it; one
    // without pixels filters everywhere like the all-ones mask.
    const Image* mask = job.mask;
    if (mask != nullptr && mask->Width() > 0 && mask->Height() > 0) {
        mask_.emplace_back(*mask, ClampIndex(y, mask->Height()), 0.0);
        widest = std::max(widest, mask->Width());
    }

    tileWidth_ = TileWidthFor(converted);
    const size_t tile = static_cast<size_t>(tileWidth_);
    samples_.resize(frameCount_ * COLOUR_CHANNELS);
    sampleBuffers_.reset(new float[converted * COLOUR_CHANNELS * tile]);
    ownBuffers_.reset(new float[(2 * COLOUR_CHANNELS + 1) * tile]);
    imageRow_.reset(new float[static_cast<size_t>(widest)]);
    columns_.reset(new int32_t[tile]);

    tile_.method = job.controls.method;
    tile_.frameCount = frameCount_;
    tile_.samples = samples_.data();
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        tile_.channelOn[channel] = job.controls.channelOn[channel];
    }
    const RestoreBound restore = RestoreBoundFor(job.controls.threshold);
    tile_.restoreNear = restore.active;
    tile_.restoreAtMost = restore.atMost;
    if (tile_.method == FilterMethod::Median) {
        keys_.reset(new int32_t[frameCount_ * kTilePadding]);
        tile_.keys = keys_.get();
    }
}

const float* RowFilter::Read(const RowSampling& image, int channel, int32_t x0, int32_t count, float* buffer) {
    return image.Read(channel, x0, count, Padded(count), buffer, columns_.get(), imageRow_.get());
}

// Points the tile's samples of frame j at its float planes, or converts them
// into the frame's buffers.
void RowFilter::GatherFrame(size_t j, int32_t x0, int32_t count, int32_t padded) {
    const RowSampling& frame = frames_[j];
    if (frame.InPlace(x0, padded)) {
        for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
            samples_[static_cast<size_t>(channel) * frameCount_ + j] = frame.PlaneRow(channel) + x0;
        }
        return;
    }
    const size_t tile = static_cast<size_t>(tileWidth_);
    const TileColumns columns = frame.Locate(x0, count, columns_.get());
    // Only frames with a buffer slot get here: the others lie in place at
    // every tile of the row.
    float* buffers = sampleBuffers_.get() + bufferSlot_[j] * COLOUR_CHANNELS * tile;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        samples_[static_cast<size_t>(channel) * frameCount_ + j] = frame.ReadElsewhere(
            channel, columns, columns_.get(), count, padded, buffers + channel * tile, imageRow_.get());
    }
}

void RowFilter::FilterTile(int32_t x0, int32_t count) {
    const int32_t padded = Padded(count);
    const size_t tile = static_cast<size_t>(tileWidth_);
    tile_.columns = count;
    tile_.paddedColumns = padded;
    for (size_t j = 0; j < frameCount_; ++j) {
        GatherFrame(j, x0, count, padded);
    }
    float* own = ownBuffers_.get();
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        tile_.source[channel] = Read(source_, channel, x0, count, own + channel * tile);
        tile_.out[channel] = own + (COLOUR_CHANNELS + channel) * tile;
        if (outputInPlace_ && x0 + padded <= job_.output->Width()) {
            // Straight into the row; the padding lands on later pixels of
            // the same row, which later tiles overwrite.
            tile_.out[channel] = static_cast<float*>(job_.output->RawRow(channel, y_)) + x0;
        }
    }
    tile_.maskAlpha = mask_.empty() ? nullptr : Read(mask_[0], CHAN_ALPHA, x0, count, own + 2 * COLOUR_CHANNELS * tile);
    kernel_(tile_);
    WriteTile(x0, count);
}

void RowFilter::WriteTile(int32_t x0, int32_t count) {
    if (outputInPlace_) {
        for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
            float* row = static_cast<float*>(job_.output->RawRow(channel, y_)) + x0;
            if (tile_.out[channel] != row) {
                std::memcpy(row, tile_.out[channel], static_cast<size_t>(count) * sizeof(float));
            }
        }
        return;
    }
    FltPixel pixel;
    for (int32_t i = 0; i < count; ++i) {
        job_.source->GetPixel(x0 + i, y_, pixel);  // for the channels beyond alpha
        pixel.B = tile_.out[CHAN_BLUE][i];
        pixel.G = tile_.out[CHAN_GREEN][i];
        pixel.R = tile_.out[CHAN_RED][i];
        pixel.A = tile_.out[CHAN_ALPHA][i];
        job_.output->SetPixel(x0 + i, y_, pixel);
    }
}

void CopySourceDepth(const RowJob& job, int32_t y) {
    void* depth = job.output->RawRow(CHAN_DEPTH, y);
    if (job.output->Type() == PixelType::Float && depth != nullptr) {
        job.source->ReadRow(CHAN_DEPTH, y, 0, job.source->Width(), static_cast<float*>(depth));
    }
}

}  // namespace

void FilterRow(const RowJob& job, int32_t y) {
    // Without samples (an empty window), or with a method number that names
    // no method, every channel keeps the source value and nothing else is read.
    if (job.frameCount == 0 || !IsFilterMethod(job.controls.method)) {
        CopySourceRow(job, y);
        return;
    }
    RowFilter row(job, y);
    const int32_t width = job.source->Width();
    for (int32_t x0 = 0; x0 < width; x0 += row.TileWidth()) {
        row.FilterTile(x0, std::min(row.TileWidth(), width - x0));
    }
    CopySourceDepth(job, y);
}

}  // namespace taviron
