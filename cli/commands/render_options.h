// The options of `taviron render` as the command line gave them, already of
// their kinds.
#pragma once

#include "io/writing/output_encoding.h"
#include "commands/progress.h"
#include "hosting/control_settings.h"
#include "hosting/track_file.h"

#include <OpenImageIO/typedesc.h>

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
    std::vector<int> range;  // the frames of --range; empty: every input frame on disk
    ControlSettings controls;
    std::optional<int> threads;                      // empty: one per core
    OIIO::TypeDesc depth = OIIO::TypeDesc::UNKNOWN;  // UNKNOWN: the input's
    std::optional<double> cacheMegabytes;            // empty: a quarter of the memory
    std::string scratch;                             // empty: the system's temporary folder
    bool quiet = false;
    ProgressFormat progressFormat = ProgressFormat::Text;
    bool dryRun = false;
    bool skipExisting = false;
    OutputEncoding encoding;
};

// Declares the options of `taviron render`, read into `options`.
void AddRenderOptions(CLI::App& render, RenderOptions& options);

}  // namespace taviron::cli
