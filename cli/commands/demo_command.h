// `taviron demo`: a synthetic noisy clip cleaned by a median through the
// plug-in, written out with a before/after picture.
#pragma once

#include "commands/command.h"

#include <string>

namespace taviron::cli {

int RunDemo(const std::string& pluginPath, const std::string& directory);

// Declares `taviron demo` on `app`; when it is the command given, its run
// is put in `chosen`.
CLI::App& AddDemoCommand(CLI::App& app, CommandRun& chosen);

}  // namespace taviron::cli
