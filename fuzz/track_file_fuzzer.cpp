// The track file reader on any bytes: it either gives points with finite
// coordinates, which read back the same once written as the reader documents
// them, or refuses with an input error; nothing else escapes it. The bytes are
// handed over as a file that lives in memory.
#include "fuzz_checks.h"

#include "errors.h"
#include "hosting/track_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace taviron::cli {
namespace {

// One in-memory file, rewritten for every input.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("track", 0)), path_("/proc/self/fd/" + std::to_string(fd_)) { Require(fd_ >= 0); }

    const std::string& Write(const void* data, size_t size) {
        Require(ftruncate(fd_, 0) == 0);
        Require(pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size));
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

std::string Written(const TrackData& track) {
    std::string text = "frame,x,y\n";
    char line[96];
    for (const auto& [frame, point] : track) {
        std::snprintf(line, sizeof line, "%d,%.17g,%.17g\n", frame, point.x, point.y);
        text += line;
    }
    return text;
}

bool SamePoints(const TrackData& a, const TrackData& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || i->second.x != j->second.x || i->second.y != j->second.y) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file;
    TrackData track;
    try {
        track = ReadTrackFile(file.Write(data, size));
    } catch (const CliError& error) {
        Require(error.Status() == ExitStatus::Input);
        return 0;
    }
    for (const auto& entry : track) {
        Require(std::isfinite(entry.second.x) && std::isfinite(entry.second.y));
    }
    const std::string text = Written(track);
    Require(SamePoints(ReadTrackFile(file.Write(text.data(), text.size())), track));
    return 0;
}

}  // namespace taviron::cli
