// --range, as every command that takes frames declares it: read into the
// frames it names when the command line is parsed.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

// `frames` stays empty, meaning every input frame on disk, when --range is
// not given (or given as ""). `what` says what the command does with them.
void AddRangeOption(CLI::App& command, std::vector<int>& frames, const std::string& what);

}  // namespace taviron::cli
