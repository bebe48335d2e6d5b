// taviron: renders image sequences through the Taviron plug-in, the way a
// compositing host would, from the command line.
#include "commands/about_command.h"
#include "commands/demo_command.h"
#include "commands/info_command.h"
#include "commands/progress.h"
#include "commands/render_command.h"
#include "commands/track_command.h"
#include "errors.h"
#include "hosting/plugin_session.h"
#include "io/writing/interrupt_cleanup.h"
#include "printable_line.h"

#include <CLI/CLI.hpp>
#include <OpenImageIO/imageio.h>

#include <malloc.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

namespace taviron::cli {
namespace {

void AddPluginOption(CLI::App& command, std::string& pluginPath) {
    command.add_option("--plugin", pluginPath, "The plug-in module")->default_str("taviron.so beside this program");
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

// A command line refused is told to a farm manager too, when the render was
// asked for its messages. The format as written: options checked before it
// have not set it.
const CliError& ToldToTheFarm(const CLI::App& render, const CliError& refusal) {
    const CLI::Option* format = render.get_option("--progress-format");
    if (!format->empty() && ProgressFormatNamed(format->results().back()) == ProgressFormat::OpenJD)
        PrintOpenJDMessage("openjd_fail", refusal.what());
    return refusal;
}

int Run(int argc, char** argv) {
    CLI::App app("taviron: a temporal image filter (median, average, max, min or random over a window of frames)",
                 "taviron");
    app.require_subcommand(1);
    app.set_version_flag("--version", "taviron " TAVIRON_VERSION);
    CommandRun command;
    CLI::App& render = AddRenderCommand(app, command);
    std::string pluginPath;
    for (CLI::App* each : {&render, &AddDemoCommand(app, command), &AddInfoCommand(app, command),
                           &AddAboutCommand(app, command)})
        AddPluginOption(*each, pluginPath);
    AddTrackCommand(app, command);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& request) {
        return app.exit(request);
    } catch (const CLI::CallForAllHelp& request) {
        return app.exit(request);
    } catch (const CLI::CallForVersion& request) {
        return app.exit(request);
    } catch (const CLI::ParseError& error) {
        throw ToldToTheFarm(render, UsageError(std::string(error.what()) + " (taviron --help lists the commands and options)"));
    } catch (const CliError& refusal) {
        // An option that refused its value in words of its own.
        throw ToldToTheFarm(render, refusal);
    }
    if (pluginPath.empty()) pluginPath = DefaultPluginPath();
    ConfigureImageLibrary();
    KeepLargeBlocksInTheHeap();
    const int status = command(pluginPath);
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
        std::fprintf(stderr, "taviron: %s\n", PrintableLine(error.what()).c_str());
        return static_cast<int>(error.Status());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "taviron: out of memory\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "taviron: %s\n", PrintableLine(error.what()).c_str());
    } catch (...) {
        std::fprintf(stderr, "taviron: unexpected failure\n");
    }
    return static_cast<int>(ExitStatus::Input);
}
