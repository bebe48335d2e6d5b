// The tool's picture as the host finds it in the loaded module.
#include "support/plugin_fixture.h"

#include <cstdint>

namespace {

uint32_t ReadLittleEndian(const unsigned char* bytes, unsigned size) {
    uint32_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        value |= uint32_t(bytes[i]) << (8 * i);
    }
    return value;
}

constexpr int Width = 160;
constexpr int Height = 120;
constexpr size_t InfoHeaderSize = 40;

class Picture : public TavironPlugin {
protected:
    void SetUp() override {
        TavironPlugin::SetUp();
        picture = Record()->Picture();
        ASSERT_NE(picture.data, nullptr) << "no bitmap resource 101";
        ASSERT_EQ(picture.size, InfoHeaderSize + size_t(Width) * Height * 4);
    }

    uint32_t Header(size_t offset, unsigned size) const {
        return ReadLittleEndian(picture.data + offset, size);
    }

    // Blue, green, red, alpha of the pixel at (x, y) counted from the top.
    const unsigned char* Pixel(int x, int y) const {
        const int storedRow = Height - 1 - y;  // rows are stored bottom-up
        return picture.data + InfoHeaderSize + (size_t(storedRow) * Width + x) * 4;
    }

    ResourceBytes picture;
};

TEST_F(Picture, IsAnUncompressedBottomUp32BitBitmapOf160By120) {
    EXPECT_EQ(Header(0, 4), InfoHeaderSize);
    EXPECT_EQ(int32_t(Header(4, 4)), Width);
    EXPECT_EQ(int32_t(Header(8, 4)), Height) << "positive height: bottom-up";
    EXPECT_EQ(Header(12, 2), 1u);   // planes
    EXPECT_EQ(Header(14, 2), 32u);  // bits per pixel
    EXPECT_EQ(Header(16, 4), 0u);   // BI_RGB
}

TEST_F(Picture, EveryPixelIsOpaque) {
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            ASSERT_EQ(Pixel(x, y)[3], 255) << "at " << x << ", " << y;
        }
    }
}

TEST_F(Picture, SwatchesRunFromLightCyanToNearBlackOnBlack) {
    struct Rgb { int red, green, blue; };
    const Rgb swatches[] = {{165, 255, 255}, {44, 211, 255}, {37, 134, 207},
                            {32, 74, 106}, {27, 27, 27}};
    for (int i = 0; i < 5; ++i) {
        const unsigned char* centre = Pixel(22 + 29 * i, 16);
        EXPECT_EQ(centre[2], swatches[i].red) << "swatch " << i;
        EXPECT_EQ(centre[1], swatches[i].green) << "swatch " << i;
        EXPECT_EQ(centre[0], swatches[i].blue) << "swatch " << i;
        const unsigned char* frame = Pixel(10 + 29 * i, 16);
        EXPECT_EQ(frame[0] & frame[1] & frame[2], 255) << "white frame of swatch " << i;
    }
    const unsigned char* corner = Pixel(0, 0);
    EXPECT_EQ(corner[0] | corner[1] | corner[2], 0) << "black background";
}

}  // namespace
