// A command of the command line declares itself and its options on the
// program's CLI::App; once they are read, it runs with the plug-in module the
// command line names and returns the exit status.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

using CommandRun = std::function<int(const std::string& pluginPath)>;

}  // namespace taviron::cli
