#include "commands/render_plan.h"

#include "commands/frames_read.h"
#include "commands/output_checks.h"
#include "errors.h"
#include "hosting/sources.h"
#include "hosting/tool_controls.h"
#include "hosting/track_file.h"
#include "io/file_identity.h"
#include "io/reading/image_parts.h"

#include <OpenImageIO/strutil.h>
#include <contract/tool_ids.h>

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <set>

namespace taviron::cli {

size_t DefaultCacheBudgetBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 4 : size_t{1} << 30;
}

size_t CacheBudgetBytes(std::optional<double> megabytes) {
    if (!megabytes) return DefaultCacheBudgetBytes();
    // More than the address space holds is no limit at all.
    const double bytes = *megabytes * 1024.0 * 1024.0;
    return bytes >= static_cast<double>(std::numeric_limits<size_t>::max()) ? std::numeric_limits<size_t>::max()
                                                                            : static_cast<size_t>(bytes);
}

void RequireSequenceInput(const FramePattern& input, taviron::WindowOffsets read) {
    if (input.IsSequence() || (read.first == 0 && read.last == 0)) return;
    throw UsageError("the input " + input.Text() +
                     " names one file, so every frame of the window would be that file and the render a copy; "
                     "name a sequence with # or %04d in place of the frame number (e.g. plate.####.exr), or give "
                     "--frames 0 to copy the file");
}

void RefuseOverwritingInputs(const FramePattern& output, const std::vector<int>& frames, const FramePattern& input,
                             taviron::WindowOffsets read, const std::optional<FramePattern>& mask,
                             const std::string& trackFile) {
    std::set<FileIdentity> readFiles;
    if (!trackFile.empty()) readFiles.insert(IdentityOf(trackFile));
    if (!input.IsSequence()) readFiles.insert(IdentityOf(input.PathOf(0)));
    if (mask && !mask->IsSequence()) readFiles.insert(IdentityOf(mask->PathOf(0)));
    for (int frame : frames)
        if (mask && mask->IsSequence()) readFiles.insert(IdentityOf(mask->PathOf(frame)));
    if (input.IsSequence())
        for (int frame : InputFramesRead(frames, read)) readFiles.insert(IdentityOf(input.PathOf(frame)));
    for (int frame : frames) {
        const std::string path = output.PathOf(frame);
        if (readFiles.count(IdentityOf(path)))
            throw UsageError("the output " + path + " is a file the render reads; choose another output name");
    }
}

namespace {

CliError NoFramesFound(const FramePattern& input) {
    std::string message = OIIO::Strutil::fmt::format("no frames of {} found on disk", input.Text());
    const FramePattern::OtherPadding other = input.FileWithOtherPadding();
    if (!other.path.empty())
        message += OIIO::Strutil::fmt::format("; {} is there, its number padded to {} digits: mark the frame number with {} or %0{}d",
                                              other.path, other.digits, std::string(other.digits, '#'), other.digits);
    return InputError(message);
}

// The frames of --range, or else every input frame on disk.
std::vector<int> FramesToRender(const FramePattern& input, const FramePattern& output, const std::vector<int>& range) {
    std::vector<int> frames = range.empty() ? input.FramesOnDisk() : range;
    if (frames.empty()) throw NoFramesFound(input);
    if (!output.IsSequence() && frames.size() > 1)
        throw UsageError(OIIO::Strutil::fmt::format("the output {} names one file for {} frames; mark the frame number with # or %04d",
                                                    output.Text(), frames.size()));
    return frames;
}

std::optional<FramePattern> MaskPatternOf(const std::string& mask) {
    if (mask.empty()) return std::nullopt;
    return FramePattern(mask);
}

}  // namespace

RenderPlan::RenderPlan(PluginSession& session, const RenderOptions& options)
    : input(options.input),
      output(options.output),
      mask(MaskPatternOf(options.mask)),
      requestedType(options.depth),
      budget(CacheBudgetBytes(options.cacheMegabytes)) {
    // Every option is checked before any file is looked at.
    ApplyControls(session, options.controls);
    RequireWindow(session, options.controls);
    window = ReadOffsetsOf(session);
    RequireSequenceInput(input, window);
    frames = FramesToRender(input, output, options.range);
    CheckOutput(output, frames, options.encoding, requestedType);
    RefuseUncarriedParts(input, output, frames);
    RefuseOverwritingInputs(output, frames, input, window, mask, options.track);
    if (options.track.empty()) return;
    TrackData track = ReadTrackFile(options.track);
    if (TrackPointsUsed(session)) {
        trackGaps.emplace(options.track, track, input, window);
        trackGaps->RequirePointsFor(frames);
    }
    session.InputWithID(taviron::link_id::kTrackData)
        .Connect(std::make_shared<TrackSource>(ToolPoints(std::move(track), options.trackConvention)));
}

}  // namespace taviron::cli
