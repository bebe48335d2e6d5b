// `taviron track`: measures a plate's drift from its own frames and writes
// the track file that `taviron render --track` reads, so that a drifting
// plate cleans up with no tracker but this program.
#pragma once

#include "commands/command.h"

#include <optional>
#include <string>
#include <vector>

namespace taviron::cli {

struct TrackOptions {
    std::string input;
    std::string output;
    std::vector<int> range;        // the frames of --range; empty: every input frame on disk
    std::optional<int> reference;  // empty: the first frame of the range
    std::string region;            // X,Y,WIDTH,HEIGHT; empty: the whole frame
    bool verbose = false;
    bool quiet = false;
};

// Returns the exit status; throws CliError for a fault that stops the track.
int RunTrack(const TrackOptions& options);

// Declares `taviron track` on `app`; when it is the command given, its run
// is put in `chosen`.
CLI::App& AddTrackCommand(CLI::App& app, CommandRun& chosen);

}  // namespace taviron::cli
