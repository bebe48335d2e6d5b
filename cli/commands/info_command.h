// `taviron info`: what the plug-in registers, read back from the host.
#pragma once

#include "commands/command.h"

#include <string>

namespace taviron::cli {

int RunInfo(const std::string& pluginPath, bool json, const std::string& picturePath);

// Declares `taviron info` on `app`; when it is the command given, its run
// is put in `chosen`.
CLI::App& AddInfoCommand(CLI::App& app, CommandRun& chosen);

}  // namespace taviron::cli
