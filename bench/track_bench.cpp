// How fast `taviron track` measures frames once they are decoded: a real
// street clip (opencv-doc's vtest.avi, decoded by ffmpeg), enlarged and
// cropped to 768x576 along a drifting path, read through the render's frame
// reader; each iteration is one frame's luminance and measurement against
// the reference. The argument is OpenCV's thread count (1: one core; -1: its
// default, as the command runs).
//
//   cmake --build build --target taviron_track_bench && build/bin/taviron_track_bench
#include "io/reading/decoded_frame.h"
#include "io/frame_pattern.h"
#include "io/reading/frame_reader.h"
#include "tracking/drift_tracker.h"
#include "tracking/tracking_luma.h"

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace taviron::cli {
namespace {

constexpr int kFrames = 100;
constexpr const char* kClip = "/usr/share/doc/opencv-doc/examples/data/vtest.avi";

struct DriftingClip {
    std::vector<std::shared_ptr<const DecodedFrame>> frames;
    std::vector<cv::Mat> lumas;
};

const DriftingClip& Clip() {
    static const DriftingClip clip = [] {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("taviron-track-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        // A camera drifting by up to 30 pixels either way, a few pixels a frame.
        const std::string command = "ffmpeg -v error -i " + std::string(kClip) + " -frames:v " +
                                    std::to_string(kFrames) +
                                    " -vf \"scale=848:636,crop=768:576:'40+30*sin(n/9)':'30+25*cos(n/13)'\" " +
                                    (folder / "f%04d.png").string();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot decode %s with ffmpeg\n", kClip);
            std::exit(1);
        }
        DriftingClip made;
        const FramePattern pattern((folder / "f%04d.png").string());
        for (int frame = 1; frame <= kFrames; ++frame) {
            made.frames.push_back(ReadFrame(pattern.PathOf(frame), FrameRole::Picture));
            made.lumas.push_back(TrackingLuma(*made.frames.back()->image));
        }
        std::filesystem::remove_all(folder);
        return made;
    }();
    return clip;
}

// Frames 2..kFrames in turn, against frame 1; `work` is one frame's.
template <typename Work>
void EachFrame(benchmark::State& state, Work work) {
    cv::setNumThreads(static_cast<int>(state.range(0)));
    const DriftingClip& clip = Clip();
    DriftTracker tracker(1, clip.lumas.front(), cv::Rect(0, 0, clip.lumas.front().cols, clip.lumas.front().rows));
    size_t next = 1;
    for (auto _ : state) {
        work(tracker, next);
        if (++next == clip.frames.size()) {
            tracker.Restart();
            next = 1;
        }
    }
    state.SetItemsProcessed(state.iterations());
    cv::setNumThreads(-1);
}

void LumaAndMeasure(benchmark::State& state) {
    EachFrame(state, [](DriftTracker& tracker, size_t index) {
        const cv::Mat luma = TrackingLuma(*Clip().frames[index]->image);
        benchmark::DoNotOptimize(tracker.Measure(static_cast<int>(index) + 1, luma));
    });
}

void Measure(benchmark::State& state) {
    EachFrame(state, [](DriftTracker& tracker, size_t index) {
        benchmark::DoNotOptimize(tracker.Measure(static_cast<int>(index) + 1, Clip().lumas[index]));
    });
}

void Luma(benchmark::State& state) {
    EachFrame(state, [](DriftTracker&, size_t index) {
        benchmark::DoNotOptimize(TrackingLuma(*Clip().frames[index]->image));
    });
}

BENCHMARK(LumaAndMeasure)->Arg(1)->Arg(-1)->Unit(benchmark::kMillisecond);
BENCHMARK(Measure)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Luma)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace taviron::cli

BENCHMARK_MAIN();
