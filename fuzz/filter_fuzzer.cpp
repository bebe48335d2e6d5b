// The row kernel, on every instruction set this CPU has, against the plain
// reference of the per-pixel filter, bit for bit; "Random" against its rules
// (every enabled channel of a pixel from one frame of the window). Scenes
// come from scene_decoder: any window, method number, threshold, tracking
// with absent or non-finite points, frames and masks of other sizes and
// pixel types, pixels with NaN, infinities, signed zeros and denormals.
#include "scene_decoder.h"

#include "support/filter_scene.h"

#include <filter/frame_window.h>
#include <filter/kernel_path.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using taviron::HostRef;

constexpr taviron::KernelPath kPaths[] = {taviron::KernelPath::Sse2, taviron::KernelPath::Avx2,
                                          taviron::KernelPath::Avx512};

// Marks pixels no row wrote.
constexpr uint32_t kUnwrittenBits = 0x7fbadbadu;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Backward -n..0, Both -n..n, Forward 0..n, any other direction 0 alone.
void CheckWindowOffsets(int32_t frames, int32_t direction) {
    const int64_t n = frames;
    const taviron::WindowOffsets offsets = taviron::WindowOffsetsFor(frames, direction);
    const int64_t first = direction == 0 || direction == 1 ? -n : 0;
    const int64_t last = direction == 1 || direction == 2 ? n : 0;
    Require(offsets.first == first && offsets.last == last);
}

reference::Controls ReferenceControls(const taviron::RowControls& controls, taviron::FilterMethod method) {
    reference::Controls plain;
    plain.red = controls.channelOn[CHAN_RED];
    plain.green = controls.channelOn[CHAN_GREEN];
    plain.blue = controls.channelOn[CHAN_BLUE];
    plain.alpha = controls.channelOn[CHAN_ALPHA];
    plain.threshold = controls.threshold;
    plain.useTracking = controls.useTracking;
    plain.method = static_cast<int32_t>(method);
    return plain;
}

HostRef<Image> MakeOutput(const FuzzScene& scene) {
    HostRef<Image> image(new Image(scene.source->Width(), scene.source->Height(), scene.outputType, scene.outputDepth));
    float unwritten;
    std::memcpy(&unwritten, &kUnwrittenBits, sizeof unwritten);
    image->Fill(FltPixel{unwritten, unwritten, unwritten, unwritten, unwritten});
    return image;
}

// A pixel as an output image of the scene's kind stores it.
class OutputRounding {
public:
    explicit OutputRounding(const FuzzScene& scene) : cell_(new Image(1, 1, scene.outputType, scene.outputDepth)) {}
    FltPixel operator()(const FltPixel& pixel) {
        cell_->SetPixel(0, 0, pixel);
        FltPixel stored;
        cell_->GetPixel(0, 0, stored);
        return stored;
    }

private:
    HostRef<Image> cell_;
};

// What each pixel may be: one pixel for every method but "Random"; for
// "Random", one per frame of the window (the window of that frame alone).
std::vector<std::vector<FltPixel>> ExpectedPixels(const FuzzScene& scene) {
    const reference::Scene view = ReferenceScene(scene);
    const bool random = scene.controls.method == taviron::FilterMethod::Random && !view.frames.empty();
    OutputRounding stored(scene);
    std::vector<std::vector<FltPixel>> expected;
    for (int32_t y = 0; y < scene.source->Height(); ++y) {
        for (int32_t x = 0; x < scene.source->Width(); ++x) {
            std::vector<FltPixel> allowed;
            if (!random) {
                allowed.push_back(stored(reference::FilterPixel(view, ReferenceControls(scene.controls, scene.controls.method), x, y)));
            } else {
                const reference::Controls single = ReferenceControls(scene.controls, taviron::FilterMethod::Median);
                for (size_t j = 0; j < view.frames.size(); ++j) {
                    reference::Scene one = view;
                    one.frames = {view.frames[j]};
                    one.framePoints = {view.framePoints[j]};
                    allowed.push_back(stored(reference::FilterPixel(one, single, x, y)));
                }
            }
            expected.push_back(std::move(allowed));
        }
    }
    return expected;
}

bool Allowed(const std::vector<FltPixel>& allowed, const FltPixel& pixel) {
    for (const FltPixel& candidate : allowed) {
        if (SameBits(candidate, pixel)) {
            return true;
        }
    }
    return false;
}

void CheckPath(const FuzzScene& scene, taviron::KernelPath path, const std::vector<std::vector<FltPixel>>& expected,
               taviron::ScratchPool& scratch) {
    taviron::ForceKernelPath(path);
    HostRef<Image> output = MakeOutput(scene);
    FilterRows(scene, *output, scene.controls, scratch);
    size_t pixel = 0;
    for (int32_t y = 0; y < scene.source->Height(); ++y) {
        for (int32_t x = 0; x < scene.source->Width(); ++x) {
            FltPixel written;
            output->GetPixel(x, y, written);
            Require(Allowed(expected[pixel++], written));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    CheckWindowOffsets(provider.ConsumeIntegral<int32_t>(), provider.ConsumeIntegral<int32_t>());
    const FuzzScene scene = DecodeScene(provider);
    const std::vector<std::vector<FltPixel>> expected = ExpectedPixels(scene);
    // One pool for every path and input, so that rows reuse buffers grown
    // and filled for other scenes.
    static taviron::ScratchPool scratch;
    for (taviron::KernelPath path : kPaths) {
        if (taviron::KernelPathAvailable(path)) {
            CheckPath(scene, path, expected, scratch);
        }
    }
    return 0;
}
