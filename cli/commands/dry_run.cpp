#include "commands/dry_run.h"

#include "io/writing/complete_output.h"
#include "commands/frames_read.h"
#include "commands/progress.h"
#include "frame_ranges.h"
#include "printable_line.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace taviron::cli {

namespace {

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

void PrintFrames(const char* what, const std::string& pattern, const std::set<int>& frames) {
    if (frames.empty()) return;
    std::printf("%s %s: frame%s %s\n", what, PrintableLine(pattern).c_str(), frames.size() > 1 ? "s" : "",
                RangesText(frames).c_str());
}

// What a dry run finds of the frames of a plan.
struct FramesFound {
    std::set<int> written;
    std::set<int> read;
    std::set<int> noInput;
    std::set<int> noMask;
    std::set<int> done;
    std::set<int> broken;  // an output there that is rendered again
    std::set<int> untracked;
    std::set<int> missingPoints;
};

// Puts `frame` where the render would: skipped, failed or written (and its
// window read).
void Classify(int frame, const RenderPlan& plan, bool skipExisting, FramesFound& found) {
    const bool outputThere = skipExisting && Exists(plan.output.PathOf(frame));
    if (outputThere && CompleteOutputExists(plan.output.PathOf(frame))) {
        found.done.insert(frame);
        return;
    }
    if (!Exists(plan.input.PathOf(frame))) {
        found.noInput.insert(frame);
        return;
    }
    if (plan.trackGaps) {
        const std::set<int> points = plan.trackGaps->MissingFor(frame);
        if (!points.empty()) {
            found.untracked.insert(frame);
            found.missingPoints.insert(points.begin(), points.end());
            return;
        }
    }
    // The render decodes the window before it looks for the mask.
    const FrameSpan span = InputFramesOf(frame, plan.window);
    for (int64_t neighbour = span.first; neighbour <= span.last; ++neighbour)
        if (Exists(plan.input.PathOf(static_cast<int>(neighbour)))) found.read.insert(static_cast<int>(neighbour));
    if (plan.mask && !Exists(plan.mask->PathOf(frame))) {
        found.noMask.insert(frame);
        return;
    }
    found.written.insert(frame);
    if (outputThere) found.broken.insert(frame);
}

void PrintFound(const RenderPlan& plan, const FramesFound& found) {
    std::printf("dry run: no frame is decoded or written\n");
    std::printf("window: frames %+lld to %+lld around each frame\n", static_cast<long long>(plan.window.first),
                static_cast<long long>(plan.window.last));
    if (plan.input.IsSequence()) PrintFrames("read", plan.input.Text(), found.read);
    else if (!found.read.empty()) std::printf("read %s\n", PrintableLine(plan.input.Text()).c_str());
    if (plan.mask && !found.written.empty()) {
        if (plan.mask->IsSequence()) PrintFrames("read mask", plan.mask->Text(), found.written);
        else std::printf("read mask %s\n", PrintableLine(plan.mask->Text()).c_str());
    }
    PrintFrames("write", plan.output.Text(), found.written);
    PrintFrames("skip, no input file,", plan.input.Text(), found.noInput);
    PrintFrames("skip, no mask file,", plan.mask ? plan.mask->Text() : "", found.noMask);
    PrintFrames("skip, complete output exists,", plan.output.Text(), found.done);
    PrintFrames("render again, output does not decode whole,", plan.output.Text(), found.broken);
    if (!found.untracked.empty())
        PrintFrames(("fail, the track file " + plan.trackGaps->TrackPath() + " has no point for frame" +
                     (found.missingPoints.size() > 1 ? "s " : " ") + RangesText(found.missingPoints) + ",")
                        .c_str(),
                    plan.output.Text(), found.untracked);
}

}  // namespace

int RunDryRun(const RenderPlan& plan, const RenderOptions& options) {
    FramesFound found;
    for (int frame : plan.frames) Classify(frame, plan, options.skipExisting, found);
    PrintFound(plan, found);
    if (found.noInput.empty() && found.noMask.empty() && found.untracked.empty())
        return static_cast<int>(ExitStatus::Ok);
    if (options.progressFormat == ProgressFormat::OpenJD)
        PrintOpenJDMessage("openjd_fail", "frames of the range lack an input file, a mask file or a track point; the lines before name them");
    return static_cast<int>(ExitStatus::Input);
}

}  // namespace taviron::cli
