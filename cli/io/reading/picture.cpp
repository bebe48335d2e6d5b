#include "io/reading/picture.h"

#include "errors.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace taviron::cli {

namespace {

constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;
constexpr size_t kInfoHeaderSize = 40;

template <typename T>
T ReadLittleEndian(const unsigned char* bytes) {
    T value{};
    for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
    return value;
}

}  // namespace

taviron::HostRef<Image> DecodeBitmap(const ResourceBytes& bitmap) {
    if (!bitmap.data || bitmap.size < kInfoHeaderSize) throw InputError("the tool has no picture");
    const unsigned char* header = bitmap.data;
    const uint32_t headerSize = ReadLittleEndian<uint32_t>(header);
    const int32_t width = static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 4));
    const int32_t storedHeight = static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 8));
    const uint16_t bitsPerPixel = ReadLittleEndian<uint16_t>(header + 14);
    const uint32_t compression = ReadLittleEndian<uint32_t>(header + 16);
    const bool bitFields = compression == kBitFields && bitsPerPixel == 32;
    if (headerSize < kInfoHeaderSize || width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN ||
        (bitsPerPixel != 24 && bitsPerPixel != 32) || (compression != kUncompressed && !bitFields))
        throw InputError("the tool's picture is not an uncompressed 24 or 32-bit bitmap");

    const int32_t height = std::abs(storedHeight);
    const bool bottomUp = storedHeight > 0;
    const size_t pixelBytes = bitsPerPixel / 8u;
    const size_t stride = (static_cast<size_t>(width) * pixelBytes + 3) & ~size_t{3};
    const size_t offset = headerSize + (bitFields && headerSize == kInfoHeaderSize ? 12 : 0);
    if (bitmap.size < offset + stride * static_cast<size_t>(height))
        throw InputError("the tool's picture is shorter than its header says");

    taviron::HostRef<Image> image = taviron::HostRef<Image>(new Image(width, height, PixelType::UInt8, false));
    const int planeOfByte[] = {CHAN_BLUE, CHAN_GREEN, CHAN_RED, CHAN_ALPHA};
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* row = bitmap.data + offset + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        for (size_t byte = 0; byte < 4; ++byte) {
            auto* plane = static_cast<unsigned char*>(image->RawRow(planeOfByte[byte], y));
            for (int32_t x = 0; x < width; ++x)
                plane[x] = byte < pixelBytes ? row[static_cast<size_t>(x) * pixelBytes + byte] : 0xFF;
        }
    }
    return image;
}

}  // namespace taviron::cli
