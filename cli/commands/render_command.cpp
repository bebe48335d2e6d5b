#include "commands/render_command.h"

#include "commands/dry_run.h"
#include "commands/render_plan.h"
#include "commands/render_schedule.h"
#include "commands/render_writing.h"
#include "hosting/plugin_session.h"
#include "io/core_share.h"

#include <CLI/CLI.hpp>

namespace taviron::cli {

// Plan, schedule, write: the plan is settled before the plug-in filters
// anything, and a dry run ends with it.
int RunRender(const std::string& pluginPath, const RenderOptions& options) {
    // The frame caches decode on turns of these cores, and the plug-in holds
    // the caches until the session ends: the cores must outlast the session.
    CoreShare cores(options.threads ? static_cast<unsigned>(*options.threads) : TaskCores());
    PluginSession session(pluginPath);
    const RenderPlan plan(session, options);
    if (options.dryRun) return RunDryRun(plan, options);
    RenderSchedule schedule(session, plan, options.scratch, cores);
    return WriteRender(session, plan, schedule, options, cores);
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
