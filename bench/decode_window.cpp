// The time to decode frames FIRST..LAST of a sequence once, the way a render
// decodes them (the same reader, one file per thread, as many threads as a
// render decodes on), with nothing else done: the floor for a render whose
// window holds those frames.
//
//   taviron_decode_window PATTERN FIRST LAST [THREADS]
#include "io/frame_reader.h"

#include <OpenImageIO/imageio.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "io/frame_pattern.h"

int main(int argc, char** argv) {
    using taviron::cli::FramePattern, taviron::cli::FrameRole, taviron::cli::ReadFrame;
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PATTERN FIRST LAST [THREADS (default 2: a render's reader and prefetcher)]\n",
                     argv[0]);
        return 2;
    }
    OIIO::attribute("exr_threads", -1);
    const FramePattern pattern(argv[1]);
    const int first = std::atoi(argv[2]);
    const int last = std::atoi(argv[3]);
    const int threads = argc > 4 ? std::atoi(argv[4]) : 2;
    std::atomic<int> next{first};
    std::atomic<bool> failed{false};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int frame = next++; frame <= last; frame = next++) {
                try {
                    ReadFrame(pattern.PathOf(frame), FrameRole::Picture);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "%s\n", error.what());
                    failed = true;
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("decoded %d frames in %.2f s on %d threads\n", last - first + 1, seconds, threads);
    return failed ? 1 : 0;
}
