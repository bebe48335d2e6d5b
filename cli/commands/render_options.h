// The options of `taviron render` as the command line gave them, already of
// their kinds. A control that is not given is empty and keeps the tool's
// starting value.
#pragma once

#include "io/writing/output_encoding.h"
#include "commands/progress.h"
#include "hosting/track_file.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

struct RenderOptions {
    std::string input;
    std::string output;
    std::string mask;
    std::string track;
    TrackConvention trackConvention = TrackConvention::Feature;
    std::string range;  // empty: every input frame on disk
    std::optional<int> frames;
    std::optional<std::string> direction;  // one of DirectionWords()
    std::optional<std::string> method;     // one of MethodWords()
    std::optional<double> threshold;
    std::optional<std::string> channels;
    std::optional<int> threads;  // empty: one per core
    std::string depth;           // 8, 16, half or float; empty: the input's
    std::optional<double> cacheMegabytes;  // empty: a quarter of the memory
    std::string scratch;                   // empty: the system's temporary folder
    std::vector<std::string> settings;     // ID=VALUE
    bool quiet = false;
    ProgressFormat progressFormat = ProgressFormat::Text;
    bool dryRun = false;
    bool skipExisting = false;
    OutputEncoding encoding;
};

// Declares the options of `taviron render`, read into `options`.
void AddRenderOptions(CLI::App& render, RenderOptions& options);

}  // namespace taviron::cli
