#include "commands/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace taviron::cli {

namespace {

struct Colour {
    float r, g, b;
};

// A sky, a horizon, hills and a sun: smooth areas and edges.
Colour BackgroundAt(float u, float v) {
    const float hill = 0.62f + 0.06f * std::sin(u * 9.0f) + 0.03f * std::sin(u * 23.0f + 1.0f);
    if (v > hill) return {0.28f + 0.1f * v, 0.45f - 0.1f * v, 0.2f};
    const float sunDistance = std::hypot(u - 0.75f, (v - 0.25f) * 0.56f);
    if (sunDistance < 0.06f) return {0.98f, 0.86f, 0.45f};
    return {0.35f + 0.3f * v, 0.55f + 0.25f * v, 0.9f - 0.2f * v};
}

struct Occluder {
    float x, y, radius, speed;
    Colour colour;
};

void SetRgb(Image& image, int x, int y, Colour colour) {
    FltPixel pixel;
    pixel.R = std::clamp(colour.r, 0.0f, 1.0f);
    pixel.G = std::clamp(colour.g, 0.0f, 1.0f);
    pixel.B = std::clamp(colour.b, 0.0f, 1.0f);
    pixel.A = 1.0f;
    image.SetPixel(x, y, pixel);
}

}  // namespace

DemoClip MakeDemoClip(int width, int height, int frameCount) {
    DemoClip clip;
    clip.background = taviron::HostRef<Image>(new Image(width, height, PixelType::UInt8, false));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetRgb(*clip.background, x, y, BackgroundAt(static_cast<float>(x) / width, static_cast<float>(y) / height));

    const float size = static_cast<float>(height);
    const std::vector<Occluder> occluders = {
        {0.1f * size, 0.55f * size, 0.09f * size, 0.2f * size, {0.55f, 0.1f, 0.1f}},
        {1.6f * size, 0.3f * size, 0.06f * size, -0.25f * size, {0.1f, 0.1f, 0.12f}},
        {0.5f * size, 0.8f * size, 0.12f * size, 0.16f * size, {0.9f, 0.9f, 0.85f}},
    };
    std::mt19937 random(2009);
    std::normal_distribution<float> noise(0.0f, 0.06f);
    for (int frame = 1; frame <= frameCount; ++frame) {
        taviron::HostRef<Image> image = taviron::HostRef<Image>(new Image(width, height, PixelType::UInt8, false));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                FltPixel clean;
                clip.background->GetPixel(x, y, clean);
                Colour colour{clean.R, clean.G, clean.B};
                for (const Occluder& o : occluders)
                    if (std::hypot(x - (o.x + o.speed * frame), y - o.y) < o.radius) colour = o.colour;
                SetRgb(*image, x, y, {colour.r + noise(random), colour.g + noise(random), colour.b + noise(random)});
            }
        }
        clip.frames.emplace(frame, std::move(image));
    }
    return clip;
}

double Psnr(const Image& image, const Image& reference) {
    double squares = 0.0;
    FltPixel a;
    FltPixel b;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            image.GetPixel(x, y, a);
            reference.GetPixel(x, y, b);
            // Compared as written to an 8-bit file.
            for (auto [p, q] : {std::pair{a.R, b.R}, std::pair{a.G, b.G}, std::pair{a.B, b.B}}) {
                const double difference = (std::round(p * 255.0) - std::round(q * 255.0)) / 255.0;
                squares += difference * difference;
            }
        }
    }
    const double meanSquare = squares / (3.0 * image.Width() * image.Height());
    return meanSquare > 0 ? 10.0 * std::log10(1.0 / meanSquare) : INFINITY;
}

}  // namespace taviron::cli
