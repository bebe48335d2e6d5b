#include "commands/render_options.h"

#include "commands/output_depth.h"
#include "commands/range_option.h"
#include "number_text.h"

#include <CLI/CLI.hpp>
#include <strings.h>

namespace taviron::cli {

namespace {

// The sequences read and written, and the frames of them.
void AddSequenceOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("-i,--input", options.input, "Input sequence: plate.####.exr, plate.%04d.exr or one file")
        ->required();
    render.add_option("-o,--output", options.output, "Output sequence, same forms; the extension picks the format")
        ->required();
    AddRangeOption(render, options.range, "Frames to render, FIRST-LAST");
}

// Where the filter may change pixels, and the points it follows.
void AddMaskAndTrackOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("--mask", options.mask, "Mask sequence or single file; where its alpha is 0 nothing changes")
        ->default_str("none");
    render.add_option("--track", options.track,
                      "Track file, lines of frame,x,y (x, y in image widths and heights, y down)")
        ->each([&options](const std::string& path) { options.controls.useTrackData = !path.empty(); })
        ->default_str("none");
    render
        .add_option_function<std::string>(
            "--track-convention",
            [&options](const std::string& word) {
                options.trackConvention =
                    strcasecmp(word.c_str(), "offset") == 0 ? TrackConvention::Offset : TrackConvention::Feature;
            },
            "What the track's points are: where the feature is in each frame, or the offsets the tool subtracts as "
            "they are")
        ->check(CLI::IsMember({"feature", "offset"}, CLI::ignore_case))
        ->default_str("feature");
}

// How the render uses the machine: threads, memory, the scratch folder,
// and the output's pixel type; what it tells while it runs.
void AddRunOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("--threads", options.threads, "Threads that decode, filter and write frames")
        ->check(kWholeNumberCheck & CLI::Range(1, 1024))
        ->default_str("one per core");
    AddDepthOption(render, options.depth);
    render.add_option("--cache-mb", options.cacheMegabytes, "Memory for decoded frames, in megabytes")
        ->check(kMegabytesCheck)
        ->default_str("a quarter of the memory");
    render.add_option("--scratch", options.scratch, "Folder for decoded frames beyond --cache-mb")
        ->check(CLI::ExistingDirectory)
        ->default_str("the system's temporary folder");
    render.add_flag("-q,--quiet", options.quiet, "No progress and no summary");
    render
        .add_option_function<std::string>(
            "--progress-format",
            [&options](const std::string& word) { options.progressFormat = ProgressFormatNamed(word); },
            "text: a progress line on a terminal; openjd: also Open Job Description messages on standard output "
            "(openjd_progress, openjd_status, openjd_fail) for farm managers")
        ->check(CLI::IsMember({"text", "openjd"}, CLI::ignore_case))
        ->default_str("text");
}

void AddOutputOptions(CLI::App& render, RenderOptions& options) {
    render.add_flag("--dry-run", options.dryRun, "Show the frames that would be read, written and skipped; write nothing");
    render.add_flag("--skip-existing", options.skipExisting, "Leave frames whose complete output exists (to resume)");
    AddEncodingOptions(render, options.encoding);
}

}  // namespace

void AddRenderOptions(CLI::App& render, RenderOptions& options) {
    AddSequenceOptions(render, options);
    AddControlOptions(render, options.controls);
    AddMaskAndTrackOptions(render, options);
    AddSetOption(render, options.controls);
    AddRunOptions(render, options);
    AddOutputOptions(render, options);
}

}  // namespace taviron::cli
