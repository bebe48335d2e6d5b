#include "commands/render_report.h"

#include "frame_ranges.h"

#include <algorithm>

namespace taviron::cli {

void RenderReport::Failed(int frame, const CliError& error) {
    notWritten_.insert(frame);
    Failed(error);
}

void RenderReport::Failed(const CliError& error) {
    status_ = std::max(status_, error.Status());
    if (named_.insert(error.what()).second) progress_.Report(error.what());
}

void RenderReport::Missing(int frame, const std::string& what, const std::string& path) {
    notWritten_.insert(frame);
    status_ = std::max(status_, ExitStatus::Input);
    MissingFiles& missing = missing_[what];
    if (missing.frames.empty()) missing.firstPath = path;
    missing.frames.insert(frame);
}

void RenderReport::Untracked(int frame, const std::string& trackPath, const std::set<int>& points) {
    notWritten_.insert(frame);
    status_ = std::max(status_, ExitStatus::Input);
    MissingPoints& missing = untracked_[trackPath];
    missing.points.insert(points.begin(), points.end());
    missing.outputs.insert(frame);
}

ExitStatus RenderReport::Finish() {
    for (const auto& [what, missing] : missing_) {
        const bool one = missing.frames.size() == 1;
        progress_.Report(what + " has no file for frame" + (one ? " " : "s ") + RangesText(missing.frames) +
                         (one ? " (" + missing.firstPath + " does not exist)" : ""));
    }
    for (const auto& [path, missing] : untracked_) {
        const bool one = missing.points.size() == 1;
        progress_.Report("the track file " + path + " has no point for frame" + (one ? " " : "s ") +
                         RangesText(missing.points) + ", which the window" + (missing.outputs.size() == 1 ? "" : "s") +
                         " of frame" + (missing.outputs.size() == 1 ? " " : "s ") + RangesText(missing.outputs) +
                         " read");
    }
    if (!notWritten_.empty()) progress_.Report("frames not " + outcome_ + ": " + RangesText(notWritten_));
    return status_;
}

}  // namespace taviron::cli
