#include "commands/dry_run.h"

#include "io/writing/complete_output.h"
#include "commands/frames_read.h"
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

}  // namespace

ExitStatus PrintDryRun(const RenderPlan& plan, bool skipExisting) {
    std::set<int> written;
    std::set<int> read;
    std::set<int> noInput;
    std::set<int> noMask;
    std::set<int> done;
    std::set<int> broken;  // an output there that is rendered again
    std::set<int> untracked;
    std::set<int> missingPoints;
    for (int frame : plan.frames) {
        const bool outputThere = skipExisting && Exists(plan.output.PathOf(frame));
        if (outputThere && CompleteOutputExists(plan.output.PathOf(frame))) {
            done.insert(frame);
            continue;
        }
        if (!Exists(plan.input.PathOf(frame))) {
            noInput.insert(frame);
            continue;
        }
        if (plan.trackGaps) {
            const std::set<int> points = plan.trackGaps->MissingFor(frame);
            if (!points.empty()) {
                untracked.insert(frame);
                missingPoints.insert(points.begin(), points.end());
                continue;
            }
        }
        // The render decodes the window before it looks for the mask.
        const FrameSpan span = InputFramesOf(frame, plan.window);
        for (int64_t neighbour = span.first; neighbour <= span.last; ++neighbour)
            if (Exists(plan.input.PathOf(static_cast<int>(neighbour)))) read.insert(static_cast<int>(neighbour));
        if (plan.mask && !Exists(plan.mask->PathOf(frame))) {
            noMask.insert(frame);
            continue;
        }
        written.insert(frame);
        if (outputThere) broken.insert(frame);
    }
    std::printf("dry run: no frame is decoded or written\n");
    std::printf("window: frames %+lld to %+lld around each frame\n", static_cast<long long>(plan.window.first),
                static_cast<long long>(plan.window.last));
    if (plan.input.IsSequence()) PrintFrames("read", plan.input.Text(), read);
    else if (!read.empty()) std::printf("read %s\n", PrintableLine(plan.input.Text()).c_str());
    if (plan.mask && !written.empty()) {
        if (plan.mask->IsSequence()) PrintFrames("read mask", plan.mask->Text(), written);
        else std::printf("read mask %s\n", PrintableLine(plan.mask->Text()).c_str());
    }
    PrintFrames("write", plan.output.Text(), written);
    PrintFrames("skip, no input file,", plan.input.Text(), noInput);
    PrintFrames("skip, no mask file,", plan.mask ? plan.mask->Text() : "", noMask);
    PrintFrames("skip, complete output exists,", plan.output.Text(), done);
    PrintFrames("render again, output does not decode whole,", plan.output.Text(), broken);
    if (!untracked.empty())
        PrintFrames(("fail, the track file " + plan.trackGaps->TrackPath() + " has no point for frame" +
                     (missingPoints.size() > 1 ? "s " : " ") + RangesText(missingPoints) + ",")
                        .c_str(),
                    plan.output.Text(), untracked);
    return noInput.empty() && noMask.empty() && untracked.empty() ? ExitStatus::Ok : ExitStatus::Input;
}

}  // namespace taviron::cli
