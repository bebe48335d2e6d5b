#include "commands/render_report.h"

#include "frame_ranges.h"

#include <algorithm>

namespace taviron::cli {

void RenderReport::Failed(int frame, const CliError& error) {
    notWritten_.insert(frame);
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

ExitStatus RenderReport::Finish() {
    for (const auto& [what, missing] : missing_) {
        const bool one = missing.frames.size() == 1;
        progress_.Report(what + " has no file for frame" + (one ? " " : "s ") + RangesText(missing.frames) +
                         (one ? " (" + missing.firstPath + " does not exist)" : ""));
    }
    if (!notWritten_.empty()) progress_.Report("frames not written: " + RangesText(notWritten_));
    return status_;
}

}  // namespace taviron::cli
