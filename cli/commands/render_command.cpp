#include "commands/render_command.h"

#include "io/writing/complete_output.h"
#include "commands/dry_run.h"
#include "commands/frames_read.h"
#include "errors.h"
#include "commands/output_checks.h"
#include "hosting/filtered_frame.h"
#include "hosting/plugin_session.h"
#include "commands/progress.h"
#include "commands/render_plan.h"
#include "commands/render_report.h"
#include "io/reading/image_parts.h"
#include "io/reading/sequence_pixel_type.h"
#include "io/caching/scratch_folder.h"
#include "io/reading/sequence_reader.h"
#include "hosting/sources.h"
#include "io/writing/stale_temporaries.h"
#include "hosting/tool_controls.h"
#include "hosting/track_file.h"
#include "commands/track_gaps.h"
#include "commands/window_size.h"
#include "io/core_share.h"
#include "io/writing/interrupt_cleanup.h"
#include "io/writing/output_folders.h"
#include "io/writing/write_queue.h"
#include "printable_line.h"

#include <CLI/CLI.hpp>
#include <contract/tool_ids.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

namespace taviron::cli {

namespace {

constexpr size_t kFramesWaitingToBeWritten = 1;

// A sequence and the cache that holds its decoded frames, in memory as far as
// the budget goes and in the scratch folder beyond, decoded on `decoders`
// threads and the render's own, on turns of the render's cores.
struct Clip {
    Clip(const FramePattern& pattern, FrameRole role, size_t budget, const std::shared_ptr<ScratchFolder>& scratch,
         unsigned decoders, CoreShare& cores)
        : reader(std::make_shared<SequenceReader>(pattern, role)),
          cache(std::make_shared<FrameCache>([reader = reader](int frame) { return reader->Read(frame); }, budget,
                                             [scratch](const DecodedFrame& frame) { return scratch->Keep(frame); },
                                             decoders, &cores)),
          source(std::make_shared<SequenceSource>(cache)) {}

    std::shared_ptr<SequenceReader> reader;
    std::shared_ptr<FrameCache> cache;
    std::shared_ptr<SequenceSource> source;
};

// The mask of `frame`, checked against the frame's size; false when the mask
// file is missing.
bool MaskReady(Clip& mask, int frame, int nextFrame, bool hasNext, const Image& picture) {
    mask.cache->Hold(frame, frame);
    if (hasNext) mask.cache->Prefetch(nextFrame, nextFrame);
    const auto decoded = mask.cache->Get(frame);
    if (!decoded) return false;
    if (decoded->image->Width() != picture.Width() || decoded->image->Height() != picture.Height())
        throw InputError("the mask " + mask.reader->PathOf(frame) + " is " + std::to_string(decoded->image->Width()) +
                         "x" + std::to_string(decoded->image->Height()) + " but the frame is " +
                         std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()));
    return true;
}

std::string ScratchPath(const std::string& option) {
    if (!option.empty()) return option;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    return error ? "/tmp" : temporary.string();
}

// Refuses --channels that name none of the input's channels: every frame
// would be copied unfiltered.
void RefuseAbsentChannels(const std::string& channels, const ChannelLayout& layout, const std::string& path) {
    const std::pair<char, int> planes[] = {{'r', CHAN_RED}, {'g', CHAN_GREEN}, {'b', CHAN_BLUE}, {'a', CHAN_ALPHA}};
    std::string present;
    for (const auto& [letter, plane] : planes) {
        if (!layout.FillsPlane(plane)) continue;
        if (channels.find(letter) != std::string::npos ||
            channels.find(static_cast<char>(std::toupper(letter))) != std::string::npos)
            return;
        present += letter;
    }
    throw UsageError("--channels " + channels + ": " + path + " has none of these channels, so nothing would be " +
                     "filtered; name some of the channels it has (" + present + ")");
}

// Refuses a render whose window fits neither the memory budget nor the
// scratch folder, before anything is written. `frameBytes` is one decoded
// frame; the window is held with the next window's new frame beside it.
void CheckRoomForTheWindow(size_t frameBytes, taviron::WindowOffsets window, size_t budget, const ScratchFolder& scratch) {
    if (frameBytes == 0) return;
    const size_t held = static_cast<size_t>(window.last - window.first + 1) + 1;
    const size_t inMemory = std::min(held, budget / frameBytes);
    const size_t needed = (held - inMemory) * frameBytes;
    const size_t free = scratch.FreeBytes();
    if (needed <= free) return;
    throw OutputError("the window needs " + std::to_string(held) + " frames decoded at once (" +
                      SizeText(static_cast<double>(held * frameBytes)) + ", with the next frame read ahead); the " +
                      SizeText(static_cast<double>(budget)) + " of --cache-mb hold " + std::to_string(inMemory) +
                      " of them, and the scratch folder " + scratch.Path() + " has " +
                      SizeText(static_cast<double>(free)) + " free, less than the " +
                      SizeText(static_cast<double>(needed)) + " the other " + std::to_string(held - inMemory) +
                      " take; free some space there, choose another folder with --scratch, raise --cache-mb, "
                      "or give fewer --frames");
}

CliError NoFramesFound(const FramePattern& input) {
    std::string message = "no frames of " + input.Text() + " found on disk";
    const FramePattern::OtherPadding other = input.FileWithOtherPadding();
    if (!other.path.empty())
        message += "; " + other.path + " is there, its number padded to " + std::to_string(other.digits) +
                   " digits: mark the frame number with " + std::string(other.digits, '#') + " or %0" +
                   std::to_string(other.digits) + "d";
    return InputError(message);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Write failures as the report names them; anything else travels on.
void ReportWriteFailures(const std::vector<WriteQueue::Failure>& failures, RenderReport& report) {
    for (const WriteQueue::Failure& failure : failures) {
        try {
            std::rethrow_exception(failure.error);
        } catch (const CliError& error) {
            report.Failed(failure.frame, error);
        }
    }
}

}  // namespace

int RunRender(const std::string& pluginPath, const RenderOptions& options) {
    const FramePattern input(options.input);
    const FramePattern output(options.output);
    std::optional<FramePattern> maskPattern;
    if (!options.mask.empty()) maskPattern.emplace(options.mask);
    const OIIO::TypeDesc requestedType = ParseDepth(options.depth);
    const size_t budget = CacheBudgetBytes(options.cacheMegabytes);
    // Every option is checked before any file is looked at.
    PluginSession session(pluginPath);
    ApplyControls(session, options);
    RequireWindow(session, options);
    RequireSequenceInput(input, ReadOffsetsOf(session));
    const std::vector<int> frames = options.range.empty() ? input.FramesOnDisk() : ParseRange(options.range);
    if (frames.empty()) throw NoFramesFound(input);
    if (!output.IsSequence() && frames.size() > 1)
        throw UsageError("the output " + output.Text() + " names one file for " + std::to_string(frames.size()) +
                         " frames; mark the frame number with # or %04d");
    CheckOutput(output, frames, options.encoding, requestedType, options.depth);
    RefuseUncarriedParts(input, output, frames);

    const taviron::WindowOffsets window = ReadOffsetsOf(session);
    RefuseOverwritingInputs(output, frames, input, window, maskPattern, options.track);
    std::optional<TrackGaps> trackGaps;
    if (!options.track.empty()) {
        TrackData track = ReadTrackFile(options.track);
        if (TrackPointsUsed(session)) {
            trackGaps.emplace(options.track, track, input, window);
            trackGaps->RequirePointsFor(frames);
        }
        session.InputWithID(taviron::link_id::kTrackData)
            .Connect(std::make_shared<TrackSource>(ToolPoints(std::move(track), options.trackConvention)));
    }
    if (options.dryRun) {
        const ExitStatus status = PrintDryRun({input, output, maskPattern, frames, window, options.skipExisting,
                                               trackGaps ? &*trackGaps : nullptr});
        if (status != ExitStatus::Ok && options.progressFormat == ProgressFormat::OpenJD)
            PrintOpenJDMessage("openjd_fail", "frames of the range lack an input file, a mask file or a track point; the lines before name them");
        return static_cast<int>(status);
    }
    // Filtering, decoding and writing each use every core of the task, and
    // decoding and writing take turns of them.
    CoreShare cores(options.threads ? static_cast<unsigned>(*options.threads) : TaskCores());
    SetWorkerThreadCount(cores.Cores());
    OutputFolders::CheckCanMake(output.PathOf(frames.front()));
    OutputFolders::CheckCanMake(output.PathOf(frames.back()));
    if (options.progressFormat == ProgressFormat::OpenJD) SetInterruptNotice(TellOpenJDFailureNow);
    RemoveStaleTemporaryFiles(output, frames);
    const OIIO::TypeDesc outputType =
        requestedType != OIIO::TypeDesc::UNKNOWN ? requestedType : SequencePixelType(input);

    const auto scratch = std::make_shared<ScratchFolder>(ScratchPath(options.scratch));
    // The render's thread decodes too while it waits for a frame.
    Clip clip(input, FrameRole::Picture, budget, scratch, std::max(1u, cores.Cores() - 1), cores);
    session.InputWithID(taviron::link_id::kInput).Connect(clip.source);
    try {
        if (const auto first = clip.cache->Get(frames.front())) {
            if (options.channels)
                RefuseAbsentChannels(*options.channels, first->format->layout, input.PathOf(frames.front()));
            CheckRoomForTheWindow(first->Bytes(), window, budget, *scratch);
        }
    } catch (const CliError& error) {
        if (error.Status() != ExitStatus::Input) throw;  // reported with its frame below
    }
    std::optional<Clip> mask;
    if (maskPattern) {
        mask.emplace(*maskPattern, FrameRole::Mask, budget, scratch, 1, cores);
        session.InputWithID(taviron::link_id::kMask).Connect(mask->source);
    }
    Output& result = session.OutputWithID(taviron::link_id::kOutput);
    std::vector<SequenceSource*> sources{clip.source.get()};
    if (mask) sources.push_back(mask->source.get());

    Progress progress(frames.size(), options.progressFormat, !options.quiet && StandardErrorIsTerminal());
    RenderReport report(progress);
    OutputFolders folders;
    // Frames wait for a writer in the file's own type: a finished host image
    // goes before its file is compressed. A frame is filtered only when there
    // is room for it, so none is held while the writers are busy. A frame is
    // told as done once its file is complete.
    WriteQueue writer(cores.Cores(), kFramesWaitingToBeWritten, &cores,
                      [&progress](int frame) { progress.FrameDone(frame); });
    std::set<int> queued;
    size_t skippedExisting = 0;
    // Until an output fails (a write, the scratch folder, the progress
    // messages): what fails one output fails the ones after it.
    bool writing = true;
    for (size_t i = 0; i < frames.size(); ++i) {
        const int frame = frames[i];
        if (options.skipExisting && CompleteOutputExists(output.PathOf(frame))) {
            ++skippedExisting;
            continue;
        }
        writing = writing && progress.Failure().empty() && writer.WaitForRoom();
        if (!writing) {
            report.NotWritten(frame);
            continue;
        }
        // A frame without its file gets no output: the window is not even decoded.
        if (input.IsSequence() && !FileExists(input.PathOf(frame))) {
            report.Missing(frame, "the input " + input.Text(), input.PathOf(frame));
            continue;
        }
        if (trackGaps) {
            const std::set<int> points = trackGaps->MissingFor(frame);
            if (!points.empty()) {
                report.Untracked(frame, options.track, points);
                continue;
            }
        }
        try {
            const bool hasNext = i + 1 < frames.size();
            const int next = hasNext ? frames[i + 1] : frame;
            const FrameSpan held = InputFramesOf(frame, window);
            clip.cache->Hold(held.first, held.last);
            if (hasNext) {
                const FrameSpan ahead = InputFramesOf(next, window);
                clip.cache->Prefetch(ahead.first, ahead.last);
            }
            const auto current = clip.cache->Get(frame);
            if (!current) {
                report.Missing(frame, "the input " + input.Text(), input.PathOf(frame));
                continue;
            }
            RequireWindowOfOneSize(*clip.cache, held, frame, *current, [&](int k) { return input.PathOf(k); });
            if (mask && !MaskReady(*mask, frame, next, hasNext, *current->image)) {
                report.Missing(frame, "the mask " + maskPattern->Text(), maskPattern->PathOf(frame));
                continue;
            }
            auto file = std::make_unique<PendingFrameFile>(output.PathOf(frame),
                                                           *FilteredFrame(session.Tool(), result, frame, sources),
                                                           *current->format, current->extras.get(), outputType,
                                                           options.encoding);
            folders.MakeFor(output.PathOf(frame));
            writer.Push(frame, std::move(file));
            queued.insert(frame);
            clip.cache->Trim();
        } catch (const CliError& error) {
            // A frame that cannot be read fails the outputs that need it; the
            // others are rendered.
            report.Failed(frame, error);
            if (error.Status() == ExitStatus::Output) writing = false;
        }
    }
    ReportWriteFailures(writer.Finish(), report);
    // Frames dropped from the queue after a write failed.
    for (int frame : queued)
        if (!writer.Written().count(frame)) report.NotWritten(frame);
    if (const std::string failure = progress.Failure(); !failure.empty()) report.Failed(OutputError(failure));
    const ExitStatus status = report.Finish();
    progress.Close(report.FramesNotWritten());

    if (!options.quiet) {
        const double seconds = progress.Seconds();
        const size_t rendered = writer.Written().size();
        std::fprintf(stderr, "taviron: rendered %zu of %zu frames in %.2f s (%.2f fps); %zu input frames read from disk",
                     rendered, frames.size(), seconds, seconds > 0 ? static_cast<double>(rendered) / seconds : 0.0,
                     clip.reader->FilesRead());
        if (skippedExisting) std::fprintf(stderr, "; %zu skipped, their outputs exist", skippedExisting);
        std::fprintf(stderr, "\n");
        if (scratch->FramesKept())
            std::fprintf(stderr, "taviron: %zu frames kept in the scratch folder %s beyond --cache-mb, %s at most\n",
                         scratch->FramesKept(), PrintableLine(scratch->Path()).c_str(),
                         SizeText(static_cast<double>(scratch->PeakBytes())).c_str());
    }
    return static_cast<int>(status);
}

CLI::App& AddRenderCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& render = *app.add_subcommand("render", "Filter an image sequence into another");
    const auto options = std::make_shared<RenderOptions>();
    AddRenderOptions(render, *options);
    render.callback([options, &chosen] {
        chosen = [options](const std::string& pluginPath) {
            return ReportingFailure(options->progressFormat, [&] { return RunRender(pluginPath, *options); });
        };
    });
    return render;
}

}  // namespace taviron::cli
