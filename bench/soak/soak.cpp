// Soak: renders many frames through the plug-in, loaded as a host loads it,
// with controls, mask, tracking and missing frames changing at random from
// frame to frame, and checks that nothing accumulates: the process's
// resident memory stays flat after a warm-up, every host object made is
// released (live count back where it started), none is released twice, and
// the host's image memory returns to zero.
//
//   taviron_soak [frames [seed]]     (default 400 frames, seed 1)
//
// Prints a summary; exits 1 when a check fails.
#include "soak_sources.h"

#include "support/plugin_module.h"

#include <contract/tool_ids.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

namespace {

namespace link_id = taviron::link_id;

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 180;
constexpr int kClipFrames = 48;
// Resident memory may wander by allocator slack, never by a frame per frame:
// a leaked output image alone is 1.1 MiB.
constexpr long kAllowedDriftKiB = 2048;

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long totalPages = 0;
    long residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

struct SoakSources {
    std::shared_ptr<ClipSource> clip = std::make_shared<ClipSource>(kWidth, kHeight, kClipFrames, 1, 0.0f);
    // Alpha from -0.5: about a third of the pixels masked out.
    std::shared_ptr<ClipSource> mask = std::make_shared<ClipSource>(kWidth, kHeight, kClipFrames, 2, -0.5f);
    std::shared_ptr<CirclingPoint> track = std::make_shared<CirclingPoint>();
};

// A new set of control values and connections, as a user might leave them
// between two frames.
void ShuffleControls(Operator& tool, SoakSources& sources, std::mt19937& rng) {
    auto pick = [&rng](int count) { return static_cast<int>(rng() % static_cast<unsigned>(count)); };
    InputOf(&tool, link_id::kFrames)->SetValue(pick(8) - 1);            // -1 .. 6
    InputOf(&tool, link_id::kSampleDirection)->SetValue(pick(4));       // the three buttons and none
    InputOf(&tool, link_id::kFilterMethod)->SetValue(pick(5));
    for (const char* channel : {link_id::kRed, link_id::kGreen, link_id::kBlue, link_id::kAlpha}) {
        InputOf(&tool, channel)->SetValue(pick(4) == 0 ? 0.0 : 1.0);
    }
    InputOf(&tool, link_id::kThreshold)->SetValue(pick(3) == 0 ? 0.1 * pick(5) : 0.0);
    InputOf(&tool, link_id::kUseData)->SetValue(pick(2));
    InputOf(&tool, link_id::kMask)->Connect(pick(2) == 0 ? sources.mask : nullptr);
    InputOf(&tool, link_id::kTrackData)->Connect(pick(3) == 0 ? nullptr : sources.track);
    sources.clip->SetMissing(pick(kClipFrames), pick(2) == 0);
}

struct SoakResult {
    int rendered = 0;
    int failures = 0;
    long warmKiB = 0;
    long peakKiB = 0;
    long endKiB = 0;
};

// One request as the host makes it; the output must be there exactly when
// the clip has a frame at that time, and of the clip's size.
bool RenderFrame(Operator& tool, Output& output, const ClipSource& clip, double time) {
    Request request(&tool, time);
    tool.Process(&request);
    Parameter* result = request.TakeOutputData(&output);
    bool ok = (result != nullptr) == clip.Has(time);
    if (result != nullptr) {
        const Image* image = static_cast<const Image*>(result);
        ok = ok && image->Width() == kWidth && image->Height() == kHeight;
        result->Recycle();
    }
    return ok;
}

SoakResult Soak(int frameCount, uint32_t seed) {
    SoakResult result;
    const std::unique_ptr<Module> module = LoadTavironModule();
    Registry* record = FindTavironRecord();
    if (record == nullptr) {
        throw std::runtime_error("the module entered no Orlemby.Taviron");
    }
    Operator* tool = record->Create(ScriptVal{}, TagList{});
    if (tool == nullptr) {
        throw std::runtime_error("the registry made no tool");
    }
    {
        SoakSources sources;
        InputOf(tool, link_id::kInput)->Connect(sources.clip);
        Output* output = OutputOf(tool, link_id::kOutput);
        std::mt19937 rng(seed);
        const int warmUp = frameCount / 4;
        for (int i = 0; i < frameCount; ++i) {
            ShuffleControls(*tool, sources, rng);
            // Mostly whole frames inside the clip, sometimes past its ends.
            const double time = static_cast<double>(static_cast<int>(rng() % (kClipFrames + 8)) - 4);
            if (!RenderFrame(*tool, *output, *sources.clip, time)) {
                ++result.failures;
            }
            ++result.rendered;
            if (i + 1 == warmUp) {
                result.warmKiB = ResidentKiB();
            }
            if (i + 1 > warmUp) {
                result.peakKiB = std::max(result.peakKiB, ResidentKiB());
            }
        }
        result.endKiB = ResidentKiB();
        InputOf(tool, link_id::kInput)->Connect(nullptr);
        InputOf(tool, link_id::kMask)->Connect(nullptr);
        InputOf(tool, link_id::kTrackData)->Connect(nullptr);
    }
    tool->Recycle();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int frameCount = argc > 1 ? std::atoi(argv[1]) : 400;
    const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
    if (frameCount < 4) {
        std::fprintf(stderr, "usage: taviron_soak [frames (at least 4) [seed]]\n");
        return 2;
    }
    SetWorkerThreadCount(2);
    const size_t liveAtStart = _Object::LiveCount();

    SoakResult result;
    try {
        result = Soak(frameCount, seed);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soak: %s\n", error.what());
        return 1;
    }

    const size_t liveAtEnd = _Object::LiveCount();
    const size_t overReleases = Object::OverReleaseCount();
    const size_t imageBytes = ImageMemoryInUse();
    const long driftKiB = result.endKiB - result.warmKiB;
    const long peakDriftKiB = result.peakKiB - result.warmKiB;

    std::printf("soak: %d frames of %dx%d, seed %u\n", result.rendered, kWidth, kHeight, seed);
    std::printf("  wrong outputs:        %d\n", result.failures);
    std::printf("  resident after warm-up %ld KiB, at the end %ld KiB: drift %+ld KiB (peak %+ld KiB, allowed %ld)\n",
                result.warmKiB, result.endKiB, driftKiB, peakDriftKiB, kAllowedDriftKiB);
    std::printf("  live objects:         %zu at the start, %zu at the end\n", liveAtStart, liveAtEnd);
    std::printf("  over-releases:        %zu\n", overReleases);
    std::printf("  image memory in use:  %zu bytes\n", imageBytes);

    const bool ok = result.failures == 0 && driftKiB <= kAllowedDriftKiB && liveAtEnd == liveAtStart &&
                    overReleases == 0 && imageBytes == 0;
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
