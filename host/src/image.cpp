#include <hostsdk/image.h>
#include <hostsdk/ids.h>

#include "format_text.h"
#include "image_memory.h"
#include "sample_widening.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

constexpr float FltPixel::*kChannelFields[CHANNEL_COUNT] = {&FltPixel::B, &FltPixel::G, &FltPixel::R,
                                                            &FltPixel::A, &FltPixel::Z};

// Host programs and tests compare against exactly these quotients.
inline float UnitFromUInt8(uint8_t value) { return value / 255.0f; }
inline float UnitFromUInt16(uint16_t value) { return value / 65535.0f; }

// Clamped to 0..1 (NaN to 0), scaled to 0..maximum, rounded to nearest.
template <typename Int>
Int IntFromUnit(float value) {
    constexpr float maximum = static_cast<float>(std::numeric_limits<Int>::max());
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(value * maximum + 0.5f);
}

float ReadSample(const unsigned char* plane, PixelType type, size_t index) {
    switch (type) {
    case PixelType::UInt8: return UnitFromUInt8(plane[index]);
    case PixelType::UInt16: return UnitFromUInt16(reinterpret_cast<const uint16_t*>(plane)[index]);
    case PixelType::Half: return HalfToFloat(reinterpret_cast<const uint16_t*>(plane)[index]);
    case PixelType::Float: return reinterpret_cast<const float*>(plane)[index];
    }
    return 0.0f;
}

void WriteSample(unsigned char* plane, PixelType type, size_t index, float value) {
    switch (type) {
    case PixelType::UInt8: plane[index] = IntFromUnit<uint8_t>(value); return;
    case PixelType::UInt16: reinterpret_cast<uint16_t*>(plane)[index] = IntFromUnit<uint16_t>(value); return;
    case PixelType::Half: reinterpret_cast<uint16_t*>(plane)[index] = FloatToHalf(value); return;
    case PixelType::Float: reinterpret_cast<float*>(plane)[index] = value; return;
    }
}

// A short run filled sample by sample, then copied over the rest: the C
// library's copy moves whole vectors, a plain fill loop one sample at a time.
template <typename Sample>
void FillPlane(unsigned char* plane, size_t count, Sample value) {
    Sample* samples = reinterpret_cast<Sample*>(plane);
    const size_t run = std::min<size_t>(count, 1024);
    std::fill_n(samples, run, value);
    for (size_t done = run; done < count; done += run) {
        std::memcpy(samples + done, samples, std::min(run, count - done) * sizeof(Sample));
    }
}

// Pixel bytes of an image, or std::bad_alloc when they cannot be counted.
size_t CountPixelBytes(int32_t width, int32_t height, int planes, PixelType type) {
    const size_t perPixel = static_cast<size_t>(planes) * BytesPerSample(type);
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (pixels != 0 && perPixel > std::numeric_limits<size_t>::max() / pixels) {
        throw std::bad_alloc();
    }
    return pixels * perPixel;
}

void CheckPosition(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        throw std::out_of_range(FormatText("pixel ({}, {}) outside the image of {} x {}", x, y, width, height));
    }
}

void CheckChannelRow(int channel, int32_t y, int32_t height) {
    if (channel < 0 || channel >= CHANNEL_COUNT || y < 0 || y >= height) {
        throw std::out_of_range(FormatText("channel {}, row {} outside the image", channel, y));
    }
}

void CheckChannel(int channel) {
    if (channel < 0 || channel >= CHANNEL_COUNT) {
        throw std::out_of_range(FormatText("channel {} outside the image", channel));
    }
}

// A row's state: read from its plane's shared row, being made the image's
// own by a writer, or the image's own.
constexpr uint8_t kRowShared = 0;
constexpr uint8_t kRowBeingMade = 1;
constexpr uint8_t kRowOwn = 2;

// Whether every one of `count` samples of `sampleBytes` at `row` has the
// bytes of the first.
bool UniformRow(const unsigned char* row, size_t count, size_t sampleBytes) {
    return count < 2 || std::memcmp(row, row + sampleBytes, (count - 1) * sampleBytes) == 0;
}

}  // namespace

size_t BytesPerSample(PixelType type) {
    switch (type) {
    case PixelType::UInt8: return 1;
    case PixelType::UInt16: return 2;
    case PixelType::Half: return 2;
    case PixelType::Float: return 4;
    }
    return 0;
}

ExternalPixels::~ExternalPixels() = default;

Image::Image(int32_t width, int32_t height, PixelType type, bool withDepth)
    : width_(width), height_(height), type_(type), planeCount_(withDepth ? CHANNEL_COUNT : CHAN_ALPHA + 1) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument(FormatText("image size {} x {} is negative", width, height));
    }
    const size_t bytes = CountPixelBytes(width, height, planeCount_, type);
    rowBytes_ = static_cast<size_t>(width) * BytesPerSample(type);
    ReserveImageMemory(bytes);
    reservedBytes_ = bytes;
    sharedRows_.reset(new (std::nothrow) unsigned char[std::max<size_t>(rowBytes_ * planeCount_, 1)]());
    if (!sharedRows_) {
        ReturnImageMemory(bytes);
        throw std::bad_alloc();
    }
}

Image::Image(int32_t width, int32_t height, PixelType type, bool withDepth, std::unique_ptr<ExternalPixels> pixels)
    : width_(width),
      height_(height),
      type_(type),
      planeCount_(withDepth ? CHANNEL_COUNT : CHAN_ALPHA + 1),
      external_(std::move(pixels)) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument(FormatText("image size {} x {} is negative", width, height));
    }
    CountPixelBytes(width, height, planeCount_, type);
    rowBytes_ = static_cast<size_t>(width) * BytesPerSample(type);
    sharedRows_.reset(new unsigned char[std::max<size_t>(rowBytes_ * planeCount_, 1)]());
}

Image::~Image() {
    // The block goes back where it came from, not to delete[].
    if (unsigned char* planes = planes_.load(std::memory_order_acquire)) {
        ReturnPixelBlock(planes, PixelBytes());
    }
    ReturnImageMemory(reservedBytes_);
}

HostID Image::DataType() const {
    return ID_Image;
}

size_t Image::PixelBytes() const {
    return static_cast<size_t>(width_) * static_cast<size_t>(height_) * static_cast<size_t>(planeCount_) *
           BytesPerSample(type_);
}

size_t Image::Offset(int channel, int32_t y) const {
    return (static_cast<size_t>(channel) * static_cast<size_t>(height_) + static_cast<size_t>(y)) * rowBytes_;
}

unsigned char* Image::SharedRow(int channel) const {
    return sharedRows_.get() + static_cast<size_t>(channel) * rowBytes_;
}

// The row states exist once the planes do.
bool Image::RowOwned(int channel, int32_t y) const {
    return planes_.load(std::memory_order_acquire) != nullptr &&
           rowStates_[static_cast<size_t>(channel) * static_cast<size_t>(height_) + static_cast<size_t>(y)].load(
               std::memory_order_acquire) == kRowOwn;
}

const unsigned char* Image::ReadableRow(int channel, int32_t y) const {
    if (RowOwned(channel, y)) {
        return planes_.load(std::memory_order_acquire) + Offset(channel, y);
    }
    if (external_ && !externalUniform_[channel]) {
        external_->RowRead(y);
        return external_->Planes() + Offset(channel, y);
    }
    return SharedRow(channel);
}

unsigned char* Image::WritableRow(int channel, int32_t y) {
    unsigned char* planes = planes_.load(std::memory_order_acquire);
    if (planes == nullptr) {
        planes = TakeOwnPlanes();
    }
    MakeRowOwn(planes, channel, y);
    return planes + Offset(channel, y);
}

// The planes' memory, as it comes: a row is read from it only once written;
// once, for whichever thread writes first.
unsigned char* Image::TakeOwnPlanes() {
    if (external_) {
        throw std::logic_error("the image's pixels are read-only");
    }
    const std::lock_guard<std::mutex> lock(planesMutex_);
    if (unsigned char* planes = planes_.load(std::memory_order_relaxed)) {
        return planes;
    }
    const size_t rows = static_cast<size_t>(planeCount_) * static_cast<size_t>(height_);
    if (!rowStates_) {
        rowStates_.reset(new std::atomic<uint8_t>[std::max<size_t>(rows, 1)]);
    }
    for (size_t row = 0; row < rows; ++row) {
        rowStates_[row].store(kRowShared, std::memory_order_relaxed);
    }
    unsigned char* planes = TakePixelBlock(PixelBytes());
    planes_.store(planes, std::memory_order_release);
    return planes;
}

// The row becomes the image's own, holding what it read so far; a writer
// of the same row at the same time waits for it.
void Image::MakeRowOwn(unsigned char* planes, int channel, int32_t y) {
    std::atomic<uint8_t>& state =
        rowStates_[static_cast<size_t>(channel) * static_cast<size_t>(height_) + static_cast<size_t>(y)];
    uint8_t seen = state.load(std::memory_order_acquire);
    if (seen == kRowOwn) {
        return;
    }
    if (seen == kRowShared && state.compare_exchange_strong(seen, kRowBeingMade, std::memory_order_acquire)) {
        std::memcpy(planes + Offset(channel, y), SharedRow(channel), rowBytes_);
        ownRows_[channel].fetch_add(1, std::memory_order_relaxed);
        state.store(kRowOwn, std::memory_order_release);
        return;
    }
    while (state.load(std::memory_order_acquire) != kRowOwn) {
        std::this_thread::yield();
    }
}

void Image::GetPixel(int32_t x, int32_t y, FltPixel& pixel) const {
    CheckPosition(x, y, width_, height_);
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        pixel.*kChannelFields[channel] =
            channel < planeCount_ ? ReadSample(ReadableRow(channel, y), type_, x) : 0.0f;
    }
}

void Image::SetPixel(int32_t x, int32_t y, const FltPixel& pixel) {
    CheckPosition(x, y, width_, height_);
    for (int channel = 0; channel < planeCount_; ++channel) {
        WriteSample(WritableRow(channel, y), type_, x, pixel.*kChannelFields[channel]);
    }
}

void Image::Fill(const FltPixel& pixel) {
    if (external_) {
        throw std::logic_error("the image's pixels are read-only");
    }
    const std::lock_guard<std::mutex> lock(planesMutex_);
    const size_t samples = static_cast<size_t>(width_);
    for (int channel = 0; channel < planeCount_ && samples != 0; ++channel) {
        unsigned char* row = SharedRow(channel);
        const float value = pixel.*kChannelFields[channel];
        switch (type_) {
        case PixelType::UInt8: FillPlane(row, samples, IntFromUnit<uint8_t>(value)); break;
        case PixelType::UInt16: FillPlane(row, samples, IntFromUnit<uint16_t>(value)); break;
        case PixelType::Half: FillPlane(row, samples, FloatToHalf(value)); break;
        case PixelType::Float: FillPlane(row, samples, value); break;
        }
    }
    if (unsigned char* planes = planes_.exchange(nullptr, std::memory_order_acq_rel)) {
        ReturnPixelBlock(planes, PixelBytes());
    }
    for (int channel = 0; channel < planeCount_; ++channel) {
        ownRows_[channel].store(0, std::memory_order_relaxed);
    }
}

bool Image::UniformPlane(int channel, float* value) const {
    CheckChannel(channel);
    bool uniform = channel >= planeCount_ || (external_ ? externalUniform_[channel]
                                                        : ownRows_[channel].load(std::memory_order_acquire) == 0);
    if (uniform && value != nullptr) {
        *value = channel < planeCount_ && width_ > 0 ? ReadSample(SharedRow(channel), type_, 0) : 0.0f;
    }
    return uniform;
}

// Every row of the plane reads `sample` (one sample's bytes) from its shared
// row, which then holds it throughout.
void Image::ShareRowsOf(int channel, const unsigned char* sample) {
    const size_t sampleBytes = BytesPerSample(type_);
    unsigned char* shared = SharedRow(channel);
    if (shared != sample) {
        std::memmove(shared, sample, sampleBytes);
    }
    for (size_t done = sampleBytes; done < rowBytes_; done += std::min(done, rowBytes_ - done)) {
        std::memcpy(shared + done, shared, std::min(done, rowBytes_ - done));
    }
    if (external_) {
        externalUniform_[channel] = true;
        return;
    }
    if (planes_.load(std::memory_order_acquire) != nullptr) {
        for (int32_t y = 0; y < height_; ++y) {
            rowStates_[static_cast<size_t>(channel) * static_cast<size_t>(height_) + static_cast<size_t>(y)].store(
                kRowShared, std::memory_order_relaxed);
        }
    }
    ownRows_[channel].store(0, std::memory_order_release);
}

void Image::FindUniformPlanes() {
    const size_t sampleBytes = BytesPerSample(type_);
    for (int channel = 0; channel < planeCount_ && width_ > 0 && height_ > 0; ++channel) {
        if (UniformPlane(channel)) {
            continue;
        }
        const unsigned char* first = ReadableRow(channel, 0);
        bool uniform = UniformRow(first, static_cast<size_t>(width_), sampleBytes);
        for (int32_t y = 1; uniform && y < height_; ++y) {
            uniform = std::memcmp(ReadableRow(channel, y), first, rowBytes_) == 0;
        }
        if (uniform) {
            ShareRowsOf(channel, first);
        }
    }
}

void Image::ShareUniformPlanes(const Image& same) {
    if (same.width_ != width_ || same.height_ != height_ || same.type_ != type_ || same.planeCount_ != planeCount_) {
        throw std::invalid_argument("the images differ in size or type");
    }
    for (int channel = 0; channel < planeCount_ && width_ > 0; ++channel) {
        if (same.UniformPlane(channel)) {
            ShareRowsOf(channel, same.SharedRow(channel));
        }
    }
}

void Image::ReadRow(int channel, int32_t y, int32_t x, int32_t count, float* out) const {
    CheckChannelRow(channel, y, height_);
    if (x < 0 || count < 0 || static_cast<int64_t>(x) + count > width_) {
        throw std::out_of_range(FormatText("columns {} + {} outside the image's width {}", x, count, width_));
    }
    if (channel >= planeCount_) {
        std::fill_n(out, count, 0.0f);
        return;
    }
    const unsigned char* row = ReadableRow(channel, y);
    const size_t samples = static_cast<size_t>(count);
    const host_simd::Widening& widen = host_simd::ActiveWidening();
    switch (type_) {
    case PixelType::UInt8: widen.uint8(row + x, samples, out); return;
    case PixelType::UInt16: widen.uint16(reinterpret_cast<const uint16_t*>(row) + x, samples, out); return;
    case PixelType::Half: widen.half(reinterpret_cast<const uint16_t*>(row) + x, samples, out); return;
    case PixelType::Float: std::copy_n(reinterpret_cast<const float*>(row) + x, samples, out); return;
    }
}

const void* Image::RawRow(int channel, int32_t y) const {
    CheckChannelRow(channel, y, height_);
    return channel < planeCount_ ? ReadableRow(channel, y) : nullptr;
}

void* Image::RawRow(int channel, int32_t y) {
    CheckChannelRow(channel, y, height_);
    return channel < planeCount_ ? WritableRow(channel, y) : nullptr;
}

Image* NewImage(const TagList& tags) {
    const auto* like = static_cast<const Image*>(tags.GetPointer(TAG_ImageLike));
    if (like == nullptr) {
        return nullptr;
    }
    try {
        return new Image(like->Width(), like->Height(), PixelType::Float, like->HasDepth());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
