// taviron: renders image sequences through the Taviron plug-in, the way a
// compositing host would, from the command line.
#include "commands/about_command.h"
#include "commands/demo_command.h"
#include "errors.h"
#include "commands/info_command.h"
#include "io/interrupt_cleanup.h"
#include "hosting/plugin_session.h"
#include "commands/render_command.h"
#include "hosting/tool_controls.h"

#include <CLI/CLI.hpp>
#include <OpenImageIO/imageio.h>

#include <malloc.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <new>

namespace taviron::cli {
namespace {

void AddPluginOption(CLI::App& command, std::string& pluginPath) {
    command.add_option("--plugin", pluginPath, "The plug-in module")->default_str("taviron.so beside this program");
}

// A number that is a number: CLI11 reads "nan" and "inf" as doubles.
const CLI::Validator kFinite(
    [](const std::string& text) {
        double value = 0.0;
        return CLI::detail::lexical_cast(text, value) && std::isfinite(value) ? std::string()
                                                                              : "takes a finite number, not " + text;
    },
    "");

// Words of a closed list, whatever their case.
CLI::Validator OneOf(const std::vector<std::string>& words) { return CLI::IsMember(words, CLI::ignore_case); }

void AddRenderOptions(CLI::App& render, RenderOptions& options, std::string& trackConvention,
                      std::string& progressFormat) {
    render.add_option("-i,--input", options.input, "Input sequence: plate.####.exr, plate.%04d.exr or one file")
        ->required();
    render.add_option("-o,--output", options.output, "Output sequence, same forms; the extension picks the format")
        ->required();
    render.add_option("--range", options.range, "Frames to render, FIRST-LAST")
        ->type_name("FIRST-LAST")
        ->default_str("every input frame on disk");
    render.add_option("--frames", options.frames,
                      "Frames sampled on each side of the current one, 0 to 250 (\"Frames\"); needed unless --set "
                      "Frames=N gives it, since the tool's starting value 0 copies the input")
        ->default_str("none");
    render.add_option("--direction", options.direction, "Which side of the current frame the window lies on")
        ->transform(CLI::Transformer(DirectionAliases(), CLI::ignore_case).description(""))
        ->check(OneOf(DirectionWords()))
        ->default_str("both");
    render.add_option("--method", options.method, "Filter method")->check(OneOf(MethodWords()))->default_str("median");
    render.add_option("--threshold", options.threshold, "Keep the source where the change is below this, 0 to 1")
        ->check(kFinite)
        ->default_str("0");
    render.add_option("--channels", options.channels, "Channels to filter, letters of rgba (others stay as they are)")
        ->type_name("LETTERS")
        ->default_str("rgba");
    render.add_option("--mask", options.mask, "Mask sequence or single file; where its alpha is 0 nothing changes")
        ->default_str("none");
    render.add_option("--track", options.track,
                      "Track file, lines of frame,x,y (x, y in image widths and heights, y down)")
        ->default_str("none");
    render.add_option("--track-convention", trackConvention,
                      "What the track's points are: where the feature is in each frame, or the offsets the tool "
                      "subtracts as they are")
        ->check(OneOf({"feature", "offset"}))
        ->capture_default_str();
    render.add_option("--set", options.settings, "Set any control by its ID, e.g. --set Threshold=0.1 (repeatable)")
        ->type_name("ID=VALUE")
        ->default_str("none");
    render.add_option("--threads", options.threads, "Worker threads of the filter")
        ->check(CLI::Range(1, 1024))
        ->default_str("one per core");
    render.add_option("--depth", options.depth, "Output pixel type")
        ->check(OneOf({"8", "16", "half", "float"}))
        ->default_str("the input's");
    render.add_option("--cache-mb", options.cacheMegabytes, "Memory for decoded frames, in megabytes")
        ->check(kFinite & CLI::NonNegativeNumber)
        ->default_str("a quarter of the memory");
    render.add_option("--scratch", options.scratch, "Folder for decoded frames beyond --cache-mb")
        ->check(CLI::ExistingDirectory)
        ->default_str("the system's temporary folder");
    render.add_flag("-q,--quiet", options.quiet, "No progress and no summary");
    render.add_option("--progress-format", progressFormat,
                      "text: a progress line on a terminal; openjd: also Open Job Description messages on standard "
                      "output (openjd_progress, openjd_status, openjd_fail) for farm managers")
        ->check(OneOf({"text", "openjd"}))
        ->capture_default_str();
}

void AddOutputOptions(CLI::App& render, RenderOptions& options) {
    render.add_flag("--dry-run", options.dryRun, "Show the frames that would be read, written and skipped; write nothing");
    render.add_flag("--skip-existing", options.skipExisting, "Leave frames whose complete output exists (to resume)");
    render.add_option("--exr-compression", options.encoding.exrCompression,
                      "OpenEXR compression: none, rle, zip, zips, piz, pxr24, b44, b44a, dwaa, dwab; zip, zips, dwaa "
                      "and dwab take a level, e.g. dwaa:45")
        ->type_name("NAME")
        ->default_str("the image library's (zip)");
    render.add_option("--jpeg-quality", options.encoding.jpegQuality, "JPEG quality, 1 to 100")
        ->default_str("the image library's (90)");
    render.add_option("--png-level", options.encoding.pngLevel, "PNG compression level, 0 to 9")->default_str("1");
}

// Files are decoded and encoded on threads of the program's own, beside the
// host's filter workers; OpenEXR adds no pool of its own (nor does the image
// library: each file is opened single-threaded).
void ConfigureImageLibrary() { OIIO::attribute("exr_threads", -1); }

// Every frame makes and frees images of tens of megabytes. Served from the
// heap and kept there when freed, their memory is used again frame after
// frame instead of being mapped, faulted in page by page and unmapped.
void KeepLargeBlocksInTheHeap() {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

// What the command printed must have arrived: a full device is an output
// error, not a success.
void FlushStandardOutput() {
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
        throw OutputError(std::string("cannot write to standard output") +
                          (errno ? std::string(": ") + std::strerror(errno) : std::string()));
}

int Run(int argc, char** argv) {
    CLI::App app("taviron: a temporal image filter (median, average, max, min or random over a window of frames)",
                 "taviron");
    app.require_subcommand(1);
    app.set_version_flag("--version", "taviron " TAVIRON_VERSION);
    std::string pluginPath;
    std::function<int()> command;

    RenderOptions render;
    std::string trackConvention = "feature";
    std::string progressFormat = "text";
    CLI::App* renderCommand = app.add_subcommand("render", "Filter an image sequence into another");
    AddRenderOptions(*renderCommand, render, trackConvention, progressFormat);
    AddOutputOptions(*renderCommand, render);
    AddPluginOption(*renderCommand, pluginPath);
    renderCommand->callback([&] {
        render.trackConvention = trackConvention == "offset" ? TrackConvention::Offset : TrackConvention::Feature;
        render.progressFormat = ProgressFormatNamed(progressFormat);
        command = [&] {
            return ReportingFailure(render.progressFormat, [&] { return RunRender(pluginPath, render); });
        };
    });

    std::string demoDirectory = "taviron-demo";
    CLI::App* demoCommand = app.add_subcommand("demo", "Clean a synthetic noisy clip and show before and after");
    demoCommand->add_option("directory", demoDirectory, "Where to write the frames")->capture_default_str();
    AddPluginOption(*demoCommand, pluginPath);
    demoCommand->callback([&] { command = [&] { return RunDemo(pluginPath, demoDirectory); }; });

    bool json = false;
    std::string picturePath;
    CLI::App* infoCommand = app.add_subcommand("info", "List the tool's registration, inputs and outputs");
    infoCommand->add_flag("--json", json, "As JSON");
    infoCommand->add_option("--picture", picturePath, "Write the tool's picture to this PNG file")->default_str("none");
    AddPluginOption(*infoCommand, pluginPath);
    infoCommand->callback([&] { command = [&] { return RunInfo(pluginPath, json, picturePath); }; });

    CLI::App* aboutCommand = app.add_subcommand("about", "Press the tool's About button");
    AddPluginOption(*aboutCommand, pluginPath);
    aboutCommand->callback([&] { command = [&] { return RunAbout(pluginPath); }; });

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& request) {
        return app.exit(request);
    } catch (const CLI::CallForAllHelp& request) {
        return app.exit(request);
    } catch (const CLI::CallForVersion& request) {
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        const CliError usage = UsageError(std::string(error.what()) + " (taviron --help lists the commands and options)");
        // The format as written: options checked before it have not set it.
        const CLI::Option* format = renderCommand->get_option("--progress-format");
        if (!format->empty() && ProgressFormatNamed(format->results().back()) == ProgressFormat::OpenJD)
            PrintOpenJDMessage("openjd_fail", usage.what());
        throw usage;
    }
    if (pluginPath.empty()) pluginPath = DefaultPluginPath();
    ConfigureImageLibrary();
    KeepLargeBlocksInTheHeap();
    const int status = command();
    FlushStandardOutput();
    return status;
}

}  // namespace
}  // namespace taviron::cli

int main(int argc, char** argv) {
    using namespace taviron::cli;
    RemoveTemporaryFilesOnInterrupt();
    try {
        return Run(argc, argv);
    } catch (const CliError& error) {
        std::fprintf(stderr, "taviron: %s\n", error.what());
        return static_cast<int>(error.Status());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "taviron: out of memory\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "taviron: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "taviron: unexpected failure\n");
    }
    return static_cast<int>(ExitStatus::Input);
}
