#include <filter/row_filter.h>

#include "row_sampling.h"
#include "row_scratch.h"
#include "sample_position.h"
#include "uniform_channels.h"

#include <filter/kernel_path.h>
#include <filter/tile_job.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
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

// The same for a tile whose samples are gathered as bytes, every frame into
// a buffer of its own where it is not read in place.
int32_t ByteTileWidthFor(size_t frames) {
    const size_t fits = kTileBufferBytes / (std::max<size_t>(frames, 1) * COLOUR_CHANNELS);
    const size_t columns = std::min<size_t>(fits, kWidestTile) / kByteTilePadding * kByteTilePadding;
    return static_cast<int32_t>(std::max<size_t>(columns, kByteTilePadding));
}

int32_t Padded(int32_t columns) { return (columns + kTilePadding - 1) / kTilePadding * kTilePadding; }
int32_t BytePadded(int32_t columns) { return (columns + kByteTilePadding - 1) / kByteTilePadding * kByteTilePadding; }

// Methods that choose one of a pixel's samples, which the kernel can then
// do among the samples as stored.
bool ChoosesASample(FilterMethod method) {
    return method == FilterMethod::Median || method == FilterMethod::Max || method == FilterMethod::Min ||
           method == FilterMethod::Random;
}

// Copies row y of the source, depth included, to the output unchanged.
void CopySourceRow(const WorkingState& state, int32_t y) {
    const int32_t width = state.source->Width();
    if (state.output->Type() == PixelType::Float) {
        for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
            void* row = state.output->RawRow(channel, y);
            if (row != nullptr) {
                state.source->ReadRow(channel, y, 0, width, static_cast<float*>(row));
            }
        }
        return;
    }
    FltPixel pixel;
    for (int32_t x = 0; x < width; ++x) {
        state.source->GetPixel(x, y, pixel);
        state.output->SetPixel(x, y, pixel);
    }
}

// One output row: where each image is read and the tile being filtered, in
// buffers of the scratch storage the row borrowed, sized once for the row.
class RowFilter {
public:
    RowFilter(const WorkingState& state, const RowControls& controls, int32_t y, RowScratch& scratch);

    int32_t TileWidth() const { return tileWidth_; }
    void FilterTile(int32_t x0, int32_t count);

private:
    const float* Read(const RowSampling& image, int channel, int32_t x0, int32_t count, float* buffer);
    void GatherFrame(size_t j, int32_t x0, int32_t count, int32_t padded);
    void GatherFrameBytes(size_t j, int32_t x0, int32_t count);
    void WriteTile(int32_t x0, int32_t count);

    const WorkingState& state_;
    int32_t y_;
    size_t frameCount_;
    int32_t tileWidth_ = 0;
    TileKernel kernel_;
    RowSampling source_;
    std::optional<RowSampling> mask_;  // none: every pixel is filtered
    TileJob tile_;
    // The channels whose samples the kernel reads.
    bool gathered_[COLOUR_CHANNELS] = {};
    bool anyGathered_ = false;
    // The kernel reads the window's samples as bytes.
    bool bytes_ = false;
    bool outputInPlace_;

    // Views of the borrowed buffers, sized for this row.
    const std::vector<RowSampling>& frames_;
    const std::vector<size_t>& bufferSlot_;
    const float** samples_ = nullptr;
    float* sampleBuffers_ = nullptr;
    float* ownBuffers_ = nullptr;
    float* imageRow_ = nullptr;
    int32_t* columns_ = nullptr;
    const uint8_t** byteSamples_ = nullptr;
    uint8_t* byteBuffers_ = nullptr;  // frames x channels x tile
};

RowSampling FrameRow(const WorkingState& state, bool useTracking, size_t j, int32_t y) {
    const Image& frame = *state.frames[j];
    Displacement shift;
    if (useTracking) {
        shift = TrackingDisplacement(state.currentPoint, state.framePoints[j], frame.Width(), frame.Height());
    }
    return RowSampling(frame, SampleCoordinate(y, shift.y, frame.Height()), shift.x);
}

constexpr size_t kInPlace = SIZE_MAX;

RowFilter::RowFilter(const WorkingState& state, const RowControls& controls, int32_t y, RowScratch& scratch)
    : state_(state),
      y_(y),
      frameCount_(state.frameCount),
      kernel_(ActiveTileKernel()),
      source_(*state.source, y, 0.0),
      outputInPlace_(state.output->Type() == PixelType::Float),
      frames_(scratch.frames),
      bufferSlot_(scratch.bufferSlot) {
    const int32_t width = state.source->Width();
    int32_t widest = width;
    size_t converted = 0;
    scratch.frames.clear();
    scratch.bufferSlot.clear();
    scratch.frames.reserve(frameCount_);
    scratch.bufferSlot.reserve(frameCount_);
    for (size_t j = 0; j < frameCount_; ++j) {
        scratch.frames.push_back(FrameRow(state, controls.useTracking, j, y));
        scratch.bufferSlot.push_back(scratch.frames.back().InPlaceAlong(Padded(width)) ? kInPlace : converted++);
        widest = std::max(widest, state.frames[j]->Width());
    }
    // A mask of another size is read at the nearest pixel inside it; one
    // without pixels filters everywhere like the all-ones mask.
    const Image* mask = state.mask;
    if (mask != nullptr && mask->Width() > 0 && mask->Height() > 0) {
        mask_.emplace(*mask, ClampIndex(y, mask->Height()), 0.0);
        widest = std::max(widest, mask->Width());
    }

    // A window of 8-bit frames goes to the kernel as stored where the method
    // chooses a sample, so that only the chosen samples are widened.
    bytes_ = ChoosesASample(controls.method) && frameCount_ <= kLargestByteWindow &&
             std::all_of(scratch.frames.begin(), scratch.frames.end(),
                         [](const RowSampling& frame) { return frame.HoldsBytes(); });
    tileWidth_ = bytes_ ? ByteTileWidthFor(frameCount_) : TileWidthFor(converted);
    const size_t tile = static_cast<size_t>(tileWidth_);
    if (bytes_) {
        byteSamples_ = AtLeast(scratch.byteSamples, frameCount_ * COLOUR_CHANNELS);
        byteBuffers_ = AtLeast(scratch.byteBuffers, frameCount_ * COLOUR_CHANNELS * tile);
    } else {
        samples_ = AtLeast(scratch.samples, frameCount_ * COLOUR_CHANNELS);
        sampleBuffers_ = AtLeast(scratch.sampleBuffers, converted * COLOUR_CHANNELS * tile);
    }
    ownBuffers_ = AtLeast(scratch.ownBuffers, (2 * COLOUR_CHANNELS + 1) * tile);
    imageRow_ = AtLeast(scratch.imageRow, static_cast<size_t>(widest));
    columns_ = AtLeast(scratch.columns, tile);

    tile_.method = controls.method;
    tile_.frameCount = frameCount_;
    tile_.samples = samples_;
    tile_.bytes = byteSamples_;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        tile_.channelOn[channel] = controls.channelOn[channel];
    }
    const UniformChannels uniform =
        FindUniformChannels(state.frames, frameCount_, controls, kernel_, scratch.uniform);
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        tile_.channelUniform[channel] = uniform.uniform[channel];
        tile_.uniformResult[channel] = uniform.result[channel];
        gathered_[channel] = controls.channelOn[channel] && !uniform.uniform[channel];
        anyGathered_ = anyGathered_ || gathered_[channel];
    }
    const RestoreBound restore = RestoreBoundFor(controls.threshold);
    tile_.restoreNear = restore.active;
    tile_.restoreAtMost = restore.atMost;
    if (tile_.method == FilterMethod::Median) {
        tile_.keys = AtLeast(scratch.keys, frameCount_ * kTilePadding);
    }
}

const float* RowFilter::Read(const RowSampling& image, int channel, int32_t x0, int32_t count, float* buffer) {
    return image.Read(channel, x0, count, Padded(count), buffer, columns_, imageRow_);
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
    const TileColumns columns = frame.Locate(x0, count, columns_);
    // Only frames with a buffer slot get here: the others lie in place at
    // every tile of the row.
    float* buffers = sampleBuffers_ + bufferSlot_[j] * COLOUR_CHANNELS * tile;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        if (gathered_[channel]) {
            samples_[static_cast<size_t>(channel) * frameCount_ + j] =
                frame.ReadElsewhere(channel, columns, columns_, count, padded, buffers + channel * tile, imageRow_);
        }
    }
}

// Points the tile's samples of frame j, an 8-bit one, at its planes, or
// gathers them into the frame's buffers.
void RowFilter::GatherFrameBytes(size_t j, int32_t x0, int32_t count) {
    const RowSampling& frame = frames_[j];
    const size_t tile = static_cast<size_t>(tileWidth_);
    const TileColumns columns = frame.Locate(x0, count, columns_);
    uint8_t* buffers = byteBuffers_ + j * COLOUR_CHANNELS * tile;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        if (gathered_[channel]) {
            byteSamples_[static_cast<size_t>(channel) * frameCount_ + j] =
                frame.ReadBytes(channel, columns, columns_, count, BytePadded(count), buffers + channel * tile);
        }
    }
}

void RowFilter::FilterTile(int32_t x0, int32_t count) {
    const int32_t padded = Padded(count);
    const size_t tile = static_cast<size_t>(tileWidth_);
    tile_.columns = count;
    tile_.paddedColumns = padded;
    for (size_t j = 0; anyGathered_ && j < frameCount_; ++j) {
        if (bytes_) {
            GatherFrameBytes(j, x0, count);
        } else {
            GatherFrame(j, x0, count, padded);
        }
    }
    float* own = ownBuffers_;
    for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
        tile_.source[channel] = Read(source_, channel, x0, count, own + channel * tile);
        tile_.out[channel] = own + (COLOUR_CHANNELS + channel) * tile;
        if (outputInPlace_ && x0 + padded <= state_.output->Width()) {
            // Straight into the row; the padding lands on later pixels of
            // the same row, which later tiles overwrite.
            tile_.out[channel] = static_cast<float*>(state_.output->RawRow(channel, y_)) + x0;
        }
    }
    tile_.maskAlpha = !mask_ ? nullptr : Read(*mask_, CHAN_ALPHA, x0, count, own + 2 * COLOUR_CHANNELS * tile);
    kernel_(tile_);
    WriteTile(x0, count);
}

void RowFilter::WriteTile(int32_t x0, int32_t count) {
    if (outputInPlace_) {
        for (int channel = 0; channel < COLOUR_CHANNELS; ++channel) {
            float* row = static_cast<float*>(state_.output->RawRow(channel, y_)) + x0;
            if (tile_.out[channel] != row) {
                std::memcpy(row, tile_.out[channel], static_cast<size_t>(count) * sizeof(float));
            }
        }
        return;
    }
    FltPixel pixel;
    for (int32_t i = 0; i < count; ++i) {
        state_.source->GetPixel(x0 + i, y_, pixel);  // for the channels beyond alpha
        pixel.B = tile_.out[CHAN_BLUE][i];
        pixel.G = tile_.out[CHAN_GREEN][i];
        pixel.R = tile_.out[CHAN_RED][i];
        pixel.A = tile_.out[CHAN_ALPHA][i];
        state_.output->SetPixel(x0 + i, y_, pixel);
    }
}

void CopySourceDepth(const WorkingState& state, int32_t y) {
    void* depth = state.output->RawRow(CHAN_DEPTH, y);
    if (state.output->Type() == PixelType::Float && depth != nullptr) {
        state.source->ReadRow(CHAN_DEPTH, y, 0, state.source->Width(), static_cast<float*>(depth));
    }
}

}  // namespace

void FilterRow(const WorkingState& state, const RowControls& controls, int32_t y, ScratchPool& scratch) {
    // Without samples (an empty window), or with a method number that names
    // no method, every channel keeps the source value and nothing else is read.
    if (state.frameCount == 0 || !IsFilterMethod(controls.method)) {
        CopySourceRow(state, y);
        return;
    }
    const ScratchPool::Lease lease = scratch.Borrow();
    RowFilter row(state, controls, y, lease.Scratch());
    const int32_t width = state.source->Width();
    for (int32_t x0 = 0; x0 < width; x0 += row.TileWidth()) {
        row.FilterTile(x0, std::min(row.TileWidth(), width - x0));
    }
    CopySourceDepth(state, y);
}

}  // namespace taviron
