#include "commands/render_command.h"

#include "commands/dry_run.h"
#include "commands/render_plan.h"
#include "commands/render_writing.h"
#include "hosting/plugin_session.h"
#include "io/core_share.h"

#include <CLI/CLI.hpp>

namespace taviron::cli {

namespace {

int RunDryRun(const RenderPlan& plan, const RenderOptions& options) {
    const ExitStatus status = PrintDryRun(plan, options.skipExisting);
    if (status != ExitStatus::Ok && options.progressFormat == ProgressFormat::OpenJD)
        PrintOpenJDMessage("openjd_fail", "frames of the range lack an input file, a mask file or a track point; the lines before name them");
    return static_cast<int>(status);
}

}  // namespace

// Plan, schedule, write: the plan is settled before the plug-in filters
// anything, and a dry run ends with it.
int RunRender(const std::string& pluginPath, const RenderOptions& options) {
    RenderPlan plan(options);
    // The frame caches decode on turns of these cores, and the plug-in holds
    // the caches until the session ends: the cores must outlast the session.
    CoreShare cores(options.threads ? static_cast<unsigned>(*options.threads) : TaskCores());
    PluginSession session(pluginPath);
    plan.Settle(session, options);
    if (options.dryRun) return RunDryRun(plan, options);
    return WriteRender(session, plan, options, cores);
}

CLI::App& AddRenderCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& render = *app.add_subcommand("render", "Filter an image sequence into another");
    const auto options = std::make_shared<RenderOptions>();
    AddRenderOptions(render, *options);
    render.callback([options, &chosen] {
        chosen = [options](const std::string& pluginPath) {
            return ReportingFailure(options->progressFormat, [&] { return RunRender(pluginPath, *options); });
        };
    });
    return render;
}

}  // namespace taviron::cli
