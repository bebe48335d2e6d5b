// `taviron render`: filters an image sequence through the plug-in.
#pragma once

#include "commands/render_options.h"

#include <string>

namespace taviron::cli {

// Returns the exit status; throws CliError for a fault that stops the render.
int RunRender(const std::string& pluginPath, const RenderOptions& options);

}  // namespace taviron::cli
