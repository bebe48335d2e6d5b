// `taviron about`: presses the tool's About button; the box is printed.
#pragma once

#include "commands/command.h"

#include <string>

namespace taviron::cli {

int RunAbout(const std::string& pluginPath);

// Declares `taviron about` on `app`; when it is the command given, its run
// is put in `chosen`.
CLI::App& AddAboutCommand(CLI::App& app, CommandRun& chosen);

}  // namespace taviron::cli
