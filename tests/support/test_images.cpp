#include "support/test_images.h"

#include <cstdio>
#include <cstring>

ImageRef MakeImage(int32_t width, int32_t height) {
    return ImageRef(new Image(width, height));
}

ImageRef MakeFilledImage(int32_t width, int32_t height, const FltPixel& pixel) {
    ImageRef image = MakeImage(width, height);
    image->Fill(pixel);
    return image;
}

FltPixel Pixel(float b, float g, float r, float a, float z) {
    FltPixel pixel;
    pixel.B = b;
    pixel.G = g;
    pixel.R = r;
    pixel.A = a;
    pixel.Z = z;
    return pixel;
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool SameBits(const FltPixel& a, const FltPixel& b) {
    return Bits(a.B) == Bits(b.B) && Bits(a.G) == Bits(b.G) && Bits(a.R) == Bits(b.R) && Bits(a.A) == Bits(b.A) &&
           Bits(a.Z) == Bits(b.Z);
}

std::string Describe(const FltPixel& pixel) {
    char text[128];
    std::snprintf(text, sizeof text, "B %08x G %08x R %08x A %08x Z %08x", Bits(pixel.B), Bits(pixel.G),
                  Bits(pixel.R), Bits(pixel.A), Bits(pixel.Z));
    return text;
}
