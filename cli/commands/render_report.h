// What a render tells when frames cannot be rendered: every problem once, as
// it happens, and at the end the frames not written, as ranges, with the
// status that says whose fault it was: 3 when any output failed, else 2 when
// any input did, in whatever order they failed. `taviron track` tells the
// frames it could not track the same way.
#pragma once

#include "errors.h"
#include "commands/progress.h"

#include <map>
#include <set>
#include <string>
#include <utility>

namespace taviron::cli {

class RenderReport {
public:
    // `outcome` is what the frames not done lack: "frames not written".
    explicit RenderReport(Progress& progress, std::string outcome = "written")
        : progress_(progress), outcome_(std::move(outcome)) {}

    // `frame` gets no output because of `error`, which is named unless it
    // was named before (one broken file fails every window that holds it).
    void Failed(int frame, const CliError& error);
    // The render failed for `error`, named unless it was named before.
    void Failed(const CliError& error);
    // `frame` gets no output because `path`, its file of what `what` names
    // (e.g. "the input plate.####.exr"), does not exist; named once for all
    // such frames.
    void Missing(int frame, const std::string& what, const std::string& path);
    // `frame` gets no output because the track file `trackPath` has no
    // point for `points`, which its window reads; named once for all such
    // frames.
    void Untracked(int frame, const std::string& trackPath, const std::set<int>& points);
    // `frame` gets no output for a reason named with another frame (the
    // render stopped writing after a failed write).
    void NotWritten(int frame) { notWritten_.insert(frame); }

    // Names the missing files as ranges and the frames not written; the
    // render's exit status.
    ExitStatus Finish();
    size_t FramesNotWritten() const { return notWritten_.size(); }

private:
    Progress& progress_;
    std::string outcome_;
    std::set<std::string> named_;
    struct MissingFiles {
        std::set<int> frames;
        std::string firstPath;
    };
    std::map<std::string, MissingFiles> missing_;
    struct MissingPoints {
        std::set<int> points;
        std::set<int> outputs;
    };
    std::map<std::string, MissingPoints> untracked_;
    std::set<int> notWritten_;
    ExitStatus status_ = ExitStatus::Ok;
};

}  // namespace taviron::cli
