// What making an output frame durable costs: a frame's bytes written under a
// temporary name and renamed into place, with the data synced before the
// rename and the folder after (as renders do), and without. Files go to
// TAVIRON_SYNC_BENCH_DIR (default: the current folder), so that the disk
// measured is the one renders write to; /tmp is often memory.
#include "io/writing/durable_rename.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace taviron::cli {
namespace {

std::string Folder() {
    const char* folder = std::getenv("TAVIRON_SYNC_BENCH_DIR");
    return folder != nullptr ? folder : ".";
}

void WriteFile(const std::string& path, const std::vector<char>& bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0 || ::write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        ::close(descriptor) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

// One frame per iteration; the argument is the frame's size in megabytes
// (a 1080p RGBA frame is 8 MB in half floats, 16 MB in floats, less once
// compressed).
void FrameIntoPlace(benchmark::State& state, bool durable) {
    const std::vector<char> bytes(static_cast<size_t>(state.range(0)) << 20, '\x5a');
    const std::string temporary = Folder() + "/.taviron-sync-bench.tmp";
    const std::string target = Folder() + "/taviron-sync-bench.exr";
    for (auto _ : state) {
        WriteFile(temporary, bytes);
        if (durable) {
            const std::string failure = RenameDurably(temporary, target);
            if (!failure.empty()) state.SkipWithError(failure.c_str());
        } else {
            std::rename(temporary.c_str(), target.c_str());
        }
    }
    std::filesystem::remove(target);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void Synced(benchmark::State& state) { FrameIntoPlace(state, true); }
void Unsynced(benchmark::State& state) { FrameIntoPlace(state, false); }

BENCHMARK(Unsynced)->Arg(1)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Synced)->Arg(1)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace taviron::cli

BENCHMARK_MAIN();
