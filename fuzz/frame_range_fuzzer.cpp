// Sequence file patterns and --range values on any text (the first line is
// the pattern, the second the range). A range gives its frames in order, one
// after the other, or a usage error; a pattern refuses only the empty name
// and frame fields padded too wide to matter, names a different file for
// every frame when it is a sequence, and its own text otherwise. Nothing but the command line's own errors escapes.
#include "fuzz_checks.h"

#include "errors.h"
#include "frame_ranges.h"
#include "io/frame_pattern.h"

#include <climits>
#include <set>
#include <string>
#include <vector>

namespace taviron::cli {
namespace {

constexpr int kSampleFrames[] = {0, 1, 2, 7, 10, 99, 100, 1001, -1, -12, 123456789, INT_MAX, INT_MIN, INT_MIN + 1};

void CheckRange(const std::string& text) {
    std::vector<int> frames;
    try {
        frames = ParseRange(text);
    } catch (const CliError& error) {
        Require(error.Status() == ExitStatus::Usage);
        return;
    }
    Require(!frames.empty());
    for (size_t i = 1; i < frames.size(); ++i) {
        Require(frames[i] == frames[i - 1] + 1);
    }
}

// A single file's name as written: `\#` stands for a '#' of the name itself.
std::string NameWithoutEscapes(const std::string& text) {
    std::string name;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '#')) name += text[i];
    return name;
}

void CheckPattern(const std::string& text) {
    try {
        const FramePattern pattern(text);
        std::set<std::string> paths;
        for (int frame : kSampleFrames) {
            const std::string path = pattern.PathOf(frame);
            Require(pattern.IsSequence() ? paths.insert(path).second : path == NameWithoutEscapes(text));
        }
    } catch (const CliError& error) {
        Require(error.Status() == ExitStatus::Usage &&
                (text.empty() || std::string(error.what()).rfind("the frame number field", 0) == 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> lines = Lines(data, size);
    CheckPattern(lines[0]);
    if (lines.size() > 1) {
        CheckRange(lines[1]);
    }
    return 0;
}

}  // namespace taviron::cli
