// `taviron render`: filters an image sequence through the plug-in.
#pragma once

#include "commands/command.h"
#include "commands/render_options.h"

#include <string>

namespace taviron::cli {

// Returns the exit status; throws CliError for a fault that stops the render.
int RunRender(const std::string& pluginPath, const RenderOptions& options);

// Declares `taviron render` on `app`; when it is the command given, its run
// is put in `chosen`.
CLI::App& AddRenderCommand(CLI::App& app, CommandRun& chosen);

}  // namespace taviron::cli
