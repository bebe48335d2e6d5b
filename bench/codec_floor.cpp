// The codec floor of a render: the time to decode its input frames once and
// to encode its output frames once, each on every core, with the reader and
// the writer a render uses and nothing else done. A render can at best
// approach the sum of the two.
//
//   taviron_codec_floor decode PATTERN FIRST LAST [THREADS]
//   taviron_codec_floor encode PATTERN FIRST LAST FOLDER [THREADS]
//
// decode reads frames FIRST..LAST of PATTERN. encode reads them first
// (untimed) and then writes each into FOLDER under its own file name, in its
// own channels, pixel type and compression, as a render writes its outputs
// (the pixels converted to the file's type, compressed, synced and renamed
// into place). THREADS defaults to one per core.
#include "io/writing/frame_file_writer.h"
#include "io/frame_pattern.h"
#include "io/reading/frame_reader.h"

#include <OpenImageIO/imageio.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using taviron::cli::DecodedFrame;

struct Timing {
    double seconds = -1.0;  // negative when a call failed
    double cpuSeconds = 0.0;  // of the whole process
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Calls work(i) for every i in [0, count) on `threads` threads.
Timing TimeOnThreads(int count, int threads, const std::function<void(int)>& work) {
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < count; i = next++) {
                try {
                    work(i);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "%s\n", error.what());
                    failed = true;
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    Timing timing;
    timing.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.cpuSeconds = CpuSeconds() - cpuStart;
    if (failed) timing.seconds = -1.0;
    return timing;
}

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s decode PATTERN FIRST LAST [THREADS]\n"
                 "       %s encode PATTERN FIRST LAST FOLDER [THREADS]\n",
                 program, program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using taviron::cli::FramePattern, taviron::cli::FrameRole, taviron::cli::ReadFrame;
    const bool encode = argc > 1 && std::strcmp(argv[1], "encode") == 0;
    if (argc < (encode ? 6 : 5) || (!encode && std::strcmp(argv[1], "decode") != 0)) return Usage(argv[0]);
    OIIO::attribute("exr_threads", -1);  // as the render: one file per thread
    const FramePattern pattern(argv[2]);
    const int first = std::atoi(argv[3]);
    const int count = std::atoi(argv[4]) - first + 1;
    const int threadsArgument = encode ? 6 : 5;
    const int threads = argc > threadsArgument ? std::atoi(argv[threadsArgument])
                                               : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto read = [&](int i) { return ReadFrame(pattern.PathOf(first + i), FrameRole::Picture); };
    if (!encode) {
        const Timing timing = TimeOnThreads(count, threads, [&](int i) { read(i); });
        if (timing.seconds < 0) return 1;
        std::printf("decoded %d frames in %.2f s (%.2f s CPU) on %d threads\n", count, timing.seconds,
                    timing.cpuSeconds, threads);
        return 0;
    }
    std::vector<std::shared_ptr<const DecodedFrame>> frames(static_cast<size_t>(count));
    if (TimeOnThreads(count, threads, [&](int i) { frames[static_cast<size_t>(i)] = read(i); }).seconds < 0) return 1;
    const std::filesystem::path folder(argv[5]);
    const Timing timing = TimeOnThreads(count, threads, [&](int i) {
        const DecodedFrame& frame = *frames[static_cast<size_t>(i)];
        const std::string name = std::filesystem::path(pattern.PathOf(first + i)).filename().string();
        taviron::cli::PendingFrameFile((folder / name).string(), *frame.image, *frame.format, frame.extras.get(),
                                       frame.format->spec.format)
            .Write();
    });
    if (timing.seconds < 0) return 1;
    std::printf("encoded %d frames in %.2f s (%.2f s CPU) on %d threads\n", count, timing.seconds,
                timing.cpuSeconds, threads);
    return 0;
}
