#include "commands/render_plan.h"

#include "commands/frames_read.h"
#include "commands/output_checks.h"
#include "errors.h"
#include "hosting/sources.h"
#include "hosting/tool_controls.h"
#include "hosting/track_file.h"
#include "io/file_identity.h"
#include "io/reading/image_parts.h"
#include "number_text.h"

#include <OpenImageIO/strutil.h>
#include <contract/tool_ids.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

namespace taviron::cli {

std::vector<int> ParseRange(const std::string& text) {
    const auto usage = [&] { return UsageError("--range takes FIRST-LAST (e.g. 1001-1100), not \"" + text + "\""); };
    // A frame number at `text[at]`, which may carry a minus sign.
    const auto number = [&](size_t& at) {
        const size_t start = at;
        if (at < text.size() && text[at] == '-') ++at;
        const size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == digits) throw usage();
        const std::string frame = text.substr(start, at - start);
        if (at - digits > 18 || std::llabs(std::stoll(frame)) > kLargestFrameNumber)
            throw UsageError(OIIO::Strutil::fmt::format("--range {}: frame {} is out of range; frame numbers go from -{} to {}",
                                                 text, frame, kLargestFrameNumber, kLargestFrameNumber));
        return std::stoi(frame);
    };
    size_t at = 0;
    const int first = number(at);
    int last = first;
    if (at < text.size()) {
        if (text[at] != '-') throw usage();
        last = number(++at);
        if (at != text.size()) throw usage();
    }
    if (last < first) throw UsageError("--range " + text + " ends before it starts");
    // Far beyond any shot; a typo should not make the frame list take gigabytes.
    constexpr long long MaxFrames = 1000000;
    if (static_cast<long long>(last) - first + 1 > MaxFrames) {
        throw UsageError(OIIO::Strutil::fmt::format("--range {} spans more than {} frames", text, MaxFrames));
    }
    std::vector<int> frames;
    for (long long frame = first; frame <= last; ++frame) frames.push_back(static_cast<int>(frame));
    return frames;
}

size_t CacheBudgetBytes(std::optional<double> megabytes) {
    if (!megabytes) {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGE_SIZE);
        return pages > 0 && pageSize > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 4
                                         : size_t{1} << 30;
    }
    if (!(*megabytes >= 0)) throw UsageError("--cache-mb takes a size in megabytes, not " + NumberText(*megabytes));
    // More than the address space holds is no limit at all.
    const double bytes = *megabytes * 1024.0 * 1024.0;
    if (bytes >= static_cast<double>(std::numeric_limits<size_t>::max())) return std::numeric_limits<size_t>::max();
    return static_cast<size_t>(bytes);
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
std::vector<int> FramesToRender(const FramePattern& input, const FramePattern& output, const std::string& range) {
    std::vector<int> frames = range.empty() ? input.FramesOnDisk() : ParseRange(range);
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

RenderPlan::RenderPlan(const RenderOptions& options)
    : input(options.input),
      output(options.output),
      mask(MaskPatternOf(options.mask)),
      requestedType(options.depth),
      budget(CacheBudgetBytes(options.cacheMegabytes)) {}

void RenderPlan::Settle(PluginSession& session, const RenderOptions& options) {
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
