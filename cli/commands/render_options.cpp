#include "commands/render_options.h"

#include "commands/output_depth.h"
#include "commands/range_option.h"
#include "hosting/control_settings.h"
#include "number_text.h"

#include <CLI/CLI.hpp>
#include <strings.h>

#include <limits>
#include <optional>

namespace taviron::cli {

namespace {

// Numbers in the one grammar of the command line (number_text.h): CLI11 would
// also read "nan", "inf", " 3" and hexadecimal.
const CLI::Validator kDecimal(
    [](const std::string& text) {
        return ReadDecimalNumber(text) ? std::string()
                                       : OIIO::Strutil::fmt::format("takes a decimal number such as 3, -0.5 or 1e-3, not \"{}\"", text);
    },
    "");
const CLI::Validator kWhole(
    [](const std::string& text) {
        return IsWholeNumberText(text) ? std::string() : OIIO::Strutil::fmt::format("takes a whole number, not \"{}\"", text);
    },
    "");
const CLI::Validator kMegabytes(
    [](const std::string& text) {
        const std::optional<double> value = ReadDecimalNumber(text);
        return value && *value >= 0 ? std::string()
                                    : OIIO::Strutil::fmt::format("takes a size in megabytes, 0 or more, such as 512 or 1.5 (a point, "
                                                                 "not a comma, before decimals), not \"{}\"",
                                                                 text);
    },
    "");

// More than the address space holds is no limit at all.
size_t BytesOfMegabytes(double megabytes) {
    const double bytes = megabytes * 1024.0 * 1024.0;
    return bytes >= static_cast<double>(std::numeric_limits<size_t>::max()) ? std::numeric_limits<size_t>::max()
                                                                            : static_cast<size_t>(bytes);
}

// An option given "" is refused as any other value out of its range would be,
// instead of counting as not given.
CLI::Validator NotEmpty(const std::string& range) {
    return CLI::Validator(
        [range](const std::string& text) { return text.empty() ? "takes " + range + ", not \"\"" : std::string(); },
        "");
}

// Words of a closed list, whatever their case.
CLI::Validator OneOf(const std::vector<std::string>& words) { return CLI::IsMember(words, CLI::ignore_case); }

// The sequences read and written, and the frames of them.
void AddSequenceOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("-i,--input", options.input, "Input sequence: plate.####.exr, plate.%04d.exr or one file")
        ->required();
    render.add_option("-o,--output", options.output, "Output sequence, same forms; the extension picks the format")
        ->required();
    AddRangeOption(render, options.range, "Frames to render, FIRST-LAST");
}

// The tool's controls that have options of their own.
void AddControlOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("--frames", options.controls.frames,
                      "Frames sampled on each side of the current one, 0 to 250 (\"Frames\"); needed unless --set "
                      "Frames=N gives it, since the tool's starting value 0 copies the input")
        ->check(kWhole)
        ->default_str("none");
    render
        .add_option_function<std::string>(
            "--direction", [&options](const std::string& word) { options.controls.direction = DirectionNamed(word); },
            "Which side of the current frame the window lies on")
        ->transform(CLI::Transformer(DirectionAliases(), CLI::ignore_case).description(""))
        ->check(OneOf(DirectionWords()))
        ->default_str("both");
    render
        .add_option_function<std::string>(
            "--method", [&options](const std::string& word) { options.controls.method = MethodNamed(word); },
            "Filter method")
        ->check(OneOf(MethodWords()))
        ->default_str("median");
    render.add_option("--threshold", options.controls.threshold, "Keep the source where the change is below this, 0 to 1")
        ->check(kDecimal)
        ->default_str("0");
    render
        .add_option_function<std::string>(
            "--channels", [&options](const std::string& letters) { options.controls.channels = ChannelsNamed(letters); },
            "Channels to filter, letters of rgba (others stay as they are)")
        ->type_name("LETTERS")
        ->default_str("rgba");
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
        ->check(OneOf({"feature", "offset"}))
        ->default_str("feature");
}

// Any control by its ID, after the options above.
void AddSetOption(CLI::App& render, RenderOptions& options) {
    render
        .add_option_function<std::vector<std::string>>(
            "--set",
            [&options](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) options.controls.settings.push_back(SettingOf(text));
            },
            "Set any control by its ID, e.g. --set Threshold=0.1 (repeatable)")
        ->type_name("ID=VALUE")
        ->default_str("none");
}

// How the render uses the machine: threads, memory, the scratch folder,
// and the output's pixel type; what it tells while it runs.
void AddRunOptions(CLI::App& render, RenderOptions& options) {
    render.add_option("--threads", options.threads, "Threads that decode, filter and write frames")
        ->check(kWhole & CLI::Range(1, 1024))
        ->default_str("one per core");
    render
        .add_option_function<std::string>(
            "--depth", [&options](const std::string& word) { options.depth = DepthNamed(word); }, "Output pixel type")
        ->check(OneOf(DepthWords()))
        ->default_str("the input's");
    render
        .add_option_function<double>(
            "--cache-mb", [&options](double megabytes) { options.cacheBytes = BytesOfMegabytes(megabytes); },
            "Memory for decoded frames, in megabytes")
        ->check(kMegabytes)
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
        ->check(OneOf({"text", "openjd"}))
        ->default_str("text");
}

void AddOutputOptions(CLI::App& render, RenderOptions& options) {
    render.add_flag("--dry-run", options.dryRun, "Show the frames that would be read, written and skipped; write nothing");
    render.add_flag("--skip-existing", options.skipExisting, "Leave frames whose complete output exists (to resume)");
    render.add_option("--exr-compression", options.encoding.exrCompression,
                      "OpenEXR compression: none, rle, zip, zips, piz, pxr24, b44, b44a, dwaa, dwab; zip and zips "
                      "take a level 1 to 9 (zip:9), dwaa and dwab a whole level from 1 (dwaa:45)")
        ->type_name("NAME")
        ->check(NotEmpty("a compression name"))
        ->default_str("the image library's (zip)");
    render.add_option("--jpeg-quality", options.encoding.jpegQuality, "JPEG quality, 1 to 100")
        ->check(NotEmpty("1 to 100"))
        ->check(kWhole)
        ->default_str("the image library's (98)");
    render.add_option("--png-level", options.encoding.pngLevel, "PNG compression level, 0 to 9")
        ->check(NotEmpty("0 to 9"))
        ->check(kWhole)
        ->default_str("1");
}

}  // namespace

void AddRenderOptions(CLI::App& render, RenderOptions& options) {
    AddSequenceOptions(render, options);
    AddControlOptions(render, options);
    AddMaskAndTrackOptions(render, options);
    AddSetOption(render, options);
    AddRunOptions(render, options);
    AddOutputOptions(render, options);
}

}  // namespace taviron::cli
