// Images. A pixel is read and written as a FltPixel record; inside the host an
// image keeps one plane per channel at the pixel type it was made with, so a
// decoded 8-bit frame takes a quarter of the memory of a float one. Reads
// convert to float (8 and 16-bit values scale to 0..1, half widens exactly);
// writes to an integer image round to nearest and clamp to its range.
//
// An image takes memory for its planes at its first write, and each row
// becomes its own at its first write: until then, and after a Fill, a row
// reads one row kept per plane, so a new or filled image (an all-ones mask)
// costs a row, not a frame, and a new image that is written in full is never
// cleared first. A plane none of whose rows is its own is uniform, and says
// so (UniformPlane), as does a plane found to hold one value throughout
// (FindUniformPlanes), so that filters can skip it. An image may instead read
// its planes from storage outside the host's memory (ExternalPixels): a disk
// cache of frames larger than memory; such an image is read-only.
#pragma once

#include <hostsdk/parameter.h>
#include <hostsdk/tag_list.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// The first four floats are blue, green, red and alpha, in that order; the
// record carries further channels after them.
struct FltPixel {
    float B = 0.0f;
    float G = 0.0f;
    float R = 0.0f;
    float A = 0.0f;
    float Z = 0.0f;  // depth
};

// Channel numbers, in the order of the FltPixel record.
enum Channel : int {
    CHAN_BLUE = 0,
    CHAN_GREEN,
    CHAN_RED,
    CHAN_ALPHA,
    CHAN_DEPTH,
    CHANNEL_COUNT,
};

enum class PixelType : uint8_t {
    UInt8,
    UInt16,
    Half,
    Float,
};

HOST_API size_t BytesPerSample(PixelType type);

// Read-only planes kept by a host program outside the host's image memory,
// laid out as an image's own: plane after plane (blue, green, red, alpha,
// then depth if any), row after row, at the image's pixel type.
class HOST_API ExternalPixels {
public:
    virtual ~ExternalPixels();
    // Valid for as long as this object lives.
    virtual const unsigned char* Planes() const = 0;
    // Row y is about to be read; called from any thread, often, so it must
    // be cheap. Rows already read may be read again.
    virtual void RowRead(int32_t y) const = 0;
};

class HOST_API Image : public Parameter {
public:
    // Throws std::invalid_argument on a negative size, std::bad_alloc when the
    // pixels cannot be counted against the budget. New pixels are all zero;
    // their memory is taken at the first write (which throws std::bad_alloc
    // when there is none). An image made without a depth plane reads depth 0
    // and ignores depth writes.
    Image(int32_t width, int32_t height, PixelType type = PixelType::Float, bool withDepth = true);
    // An image whose pixels are `pixels`; they do not count against the
    // budget. Writing to it throws std::logic_error.
    Image(int32_t width, int32_t height, PixelType type, bool withDepth, std::unique_ptr<ExternalPixels> pixels);
    ~Image() override;

    HostID DataType() const override;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    PixelType Type() const { return type_; }
    bool HasDepth() const { return planeCount_ == CHANNEL_COUNT; }

    // One pixel at (x, y). Throws std::out_of_range outside the image.
    void GetPixel(int32_t x, int32_t y, FltPixel& pixel) const;
    void SetPixel(int32_t x, int32_t y, const FltPixel& pixel);
    // Every pixel set to `pixel`; the planes' memory goes until the next write.
    void Fill(const FltPixel& pixel);

    // Row access for fast kernels and for host programs that load and save.
    // `count` samples of `channel` from column `x` of row `y`, as floats.
    // Throws std::out_of_range when the span leaves the image.
    void ReadRow(int channel, int32_t y, int32_t x, int32_t count, float* out) const;
    // The samples of one channel's row in the image's own pixel type; nullptr
    // for the depth channel of an image without a depth plane. Rows of an
    // image that was never written, or was filled, may share one address.
    const void* RawRow(int channel, int32_t y) const;
    // For writing; takes the planes' memory at the first call, and the row,
    // holding what it read until then, becomes the image's own. Safe to call
    // for different rows from several threads at once.
    void* RawRow(int channel, int32_t y);
    // Bytes the pixels take once written.
    size_t PixelBytes() const;
    bool IsReadOnly() const { return external_ != nullptr; }

    // Whether every sample of `channel` has the same bytes, known without
    // reading them: the plane was filled (or never written), or found or
    // shared uniform below, and no row of it was written since. `value` then
    // gets the sample as read. Throws std::out_of_range for no channel.
    bool UniformPlane(int channel, float* value = nullptr) const;
    // Planes whose samples all have the same bytes become uniform: their rows
    // read one row kept for the plane. A pass over the rows written, which
    // stops at a plane's first differing sample. Not while another thread
    // uses the image.
    void FindUniformPlanes();
    // The planes that are uniform in `same`, an image of the same size, type
    // and samples (a copy of it), are uniform here too; for a copy whose
    // pixels lie elsewhere (ExternalPixels), which are then not read for
    // those planes. Not while another thread uses this image.
    void ShareUniformPlanes(const Image& same);

private:
    size_t Offset(int channel, int32_t y) const;
    unsigned char* SharedRow(int channel) const;
    bool RowOwned(int channel, int32_t y) const;
    const unsigned char* ReadableRow(int channel, int32_t y) const;
    unsigned char* WritableRow(int channel, int32_t y);
    unsigned char* TakeOwnPlanes();
    void MakeRowOwn(unsigned char* planes, int channel, int32_t y);
    void ShareRowsOf(int channel, const unsigned char* sample);

    int32_t width_;
    int32_t height_;
    PixelType type_;
    int planeCount_;
    size_t rowBytes_;
    size_t reservedBytes_ = 0;  // counted against the budget
    // What each row of a plane reads until it is written.
    std::unique_ptr<unsigned char[]> sharedRows_;
    // The image's own planes, from the first write on; a row in them is
    // read only once it is its own (written), so they are never cleared.
    std::atomic<unsigned char*> planes_{nullptr};
    // Per plane and row: shared, being made its own, or its own.
    std::unique_ptr<std::atomic<uint8_t>[]> rowStates_;
    std::atomic<int32_t> ownRows_[CHANNEL_COUNT] = {};
    std::mutex planesMutex_;
    std::unique_ptr<ExternalPixels> external_;
    // Planes of an external image read from their shared row instead.
    bool externalUniform_[CHANNEL_COUNT] = {};
};

// A new float image, zeroed, of the size of the image under TAG_ImageLike and
// with a depth plane when it has one.
// Gives nullptr when there is no such image, or when the host's image memory
// budget (SetImageMemoryLimit) or the heap cannot hold it.
HOST_API Image* NewImage(const TagList& tags);

template <typename... Tags>
Image* NewImage(Tags&&... tags) {
    // A const lvalue, so that the call below is the one above and not this
    // template again (as NewImage(TagList(...)) would make it).
    const TagList list(std::forward<Tags>(tags)...);
    return NewImage(list);
}

// Host-wide budget for the pixels of images alive at once; 0 (the start) is
// no limit. Images made directly with `new Image` count against it too.
HOST_API void SetImageMemoryLimit(size_t bytes);
HOST_API size_t ImageMemoryInUse();

// Half-precision conversion, exact from half to float, round-to-nearest-even
// from float to half.
HOST_API float HalfToFloat(uint16_t half);
HOST_API uint16_t FloatToHalf(float value);
