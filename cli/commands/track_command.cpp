#include "commands/track_command.h"

#include "commands/output_checks.h"
#include "commands/progress.h"
#include "commands/range_option.h"
#include "commands/render_plan.h"
#include "commands/render_report.h"
#include "errors.h"
#include "frame_ranges.h"
#include "io/file_identity.h"
#include "io/caching/frame_cache.h"
#include "io/writing/output_folders.h"
#include "io/reading/sequence_reader.h"
#include "io/writing/text_file_writer.h"
#include "tracking/drift_tracker.h"
#include "tracking/feature_track.h"
#include "tracking/tracking_luma.h"

#include <OpenImageIO/strutil.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace taviron::cli {

namespace {

// Beyond this, a rotation or scale cannot be lined up by a translation.
constexpr double kTranslationLinesUpWithin = 1.0;

cv::Rect ParseRegion(const std::string& text) {
    const auto usage = [&] {
        return UsageError(OIIO::Strutil::fmt::format(
            "--region takes X,Y,WIDTH,HEIGHT in pixels from the frame's top left (e.g. 0,0,640,360), not \"{}\"", text));
    };
    std::vector<int> values;
    std::stringstream fields(text);
    for (std::string field; std::getline(fields, field, ',');) {
        const bool digits = !field.empty() && field.size() <= 9 &&
                            std::all_of(field.begin(), field.end(), [](unsigned char c) { return std::isdigit(c); });
        if (!digits) throw usage();
        values.push_back(std::stoi(field));
    }
    if (values.size() != 4 || text.back() == ',') throw usage();
    if (values[2] == 0 || values[3] == 0) throw UsageError("--region " + text + " has no pixels");
    return {values[0], values[1], values[2], values[3]};
}

// The reference first, then the frames after it going away from it, then
// those before it, also going away from it: each frame starts from its
// neighbour's move.
std::vector<int> TrackingOrder(const std::vector<int>& frames, int reference) {
    std::vector<int> order{reference};
    for (int frame : frames)
        if (frame > reference) order.push_back(frame);
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        if (*frame < reference) order.push_back(*frame);
    return order;
}

void RefuseOverwritingAnInput(const std::string& output, const FramePattern& input, const std::vector<int>& frames) {
    std::error_code error;
    if (std::filesystem::is_directory(output, error))
        throw UsageError("the output " + output + " is a folder; name the track file to write");
    const FileIdentity written = IdentityOf(output);
    for (int frame : frames)
        if (IdentityOf(input.PathOf(frame)) == written)
            throw UsageError("the output " + output + " is the input frame " + input.PathOf(frame) +
                             "; choose another name for the track file");
}

cv::Rect RegionIn(const std::optional<cv::Rect>& region, const cv::Size& size, const std::string& referencePath) {
    const cv::Rect frame({0, 0}, size);
    if (!region) return frame;
    if ((*region & frame) != *region)
        throw UsageError(OIIO::Strutil::fmt::format("--region {},{},{},{} reaches beyond the {}x{} reference frame {}", region->x,
                                                    region->y, region->width, region->height, size.width, size.height,
                                                    referencePath));
    return *region;
}

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string MatchText(const DriftMeasurement& measured) {
    return OIIO::Strutil::fmt::format("{} of {} features agree with frame {} (match {})", measured.agreeing, measured.anchorFeatures,
                                      measured.anchor, Fixed(measured.strength, 2));
}

// Frames whose rotation or scale no translation lines up, named once as ranges.
void WarnBeyondTranslation(const std::map<int, DriftMeasurement>& measured, Progress& progress) {
    std::set<int> frames;
    double worst = 0.0;
    for (const auto& [frame, measurement] : measured) {
        if (measurement.beyondTranslation <= kTranslationLinesUpWithin) continue;
        frames.insert(frame);
        worst = std::max(worst, measurement.beyondTranslation);
    }
    if (frames.empty()) return;
    const bool one = frames.size() == 1;
    progress.Report(std::string(one ? "frame " : "frames ") + RangesText(frames) +
                    (one ? " turns or scales" : " turn or scale") + " beyond a translation: it misses by up to " +
                    Fixed(worst, 1) + " px at the frame's corners; " + (one ? "its point is" : "their points are") +
                    " the best translation");
}

void PrintEachFrame(const std::map<int, DriftMeasurement>& measured, Progress& progress) {
    for (const auto& [frame, measurement] : measured)
        progress.Report("frame " + std::to_string(frame) + ": moved " + Fixed(measurement.move.x, 3) + ", " +
                        Fixed(measurement.move.y, 3) + " px; " + MatchText(measurement) +
                        (measurement.beyondTranslation > kTranslationLinesUpWithin
                             ? "; turns or scales, " + Fixed(measurement.beyondTranslation, 1) + " px off at a corner"
                             : ""));
}

void PrintSummary(const std::map<int, DriftMeasurement>& measured, size_t total, int reference, double seconds) {
    std::set<int> anchors;
    const DriftMeasurement* weakest = nullptr;
    int weakestFrame = reference;
    for (const auto& [frame, measurement] : measured) {
        if (measurement.anchor != reference) anchors.insert(measurement.anchor);
        if (frame != reference && (!weakest || measurement.strength < weakest->strength)) {
            weakest = &measurement;
            weakestFrame = frame;
        }
    }
    std::fprintf(stderr, "taviron: tracked %zu of %zu frames in %.2f s (%.1f fps) from frame %d", measured.size(), total,
                 seconds, seconds > 0 ? static_cast<double>(measured.size()) / seconds : 0.0, reference);
    if (!anchors.empty()) std::fprintf(stderr, ", anchored again at %zu frames", anchors.size());
    if (weakest) std::fprintf(stderr, "; weakest match %.2f (frame %d)", weakest->strength, weakestFrame);
    std::fprintf(stderr, "\n");
}

// The frames of the range, or else every input frame on disk, and the one
// the others are measured from.
std::vector<int> FramesToTrack(const FramePattern& input, const TrackOptions& options) {
    std::vector<int> frames = options.range.empty() ? input.FramesOnDisk() : options.range;
    if (frames.empty()) throw InputError("no frames of " + options.input + " found on disk");
    const int reference = options.reference.value_or(frames.front());
    if (!std::binary_search(frames.begin(), frames.end(), reference))
        throw UsageError(OIIO::Strutil::fmt::format("--reference {} is not a frame of the range {}", reference,
                                                    RangesText({frames.begin(), frames.end()})));
    return frames;
}

// The frames in tracking order, each decoded ahead of its turn on the
// program's threads. Keyed by the step of the order, so that frames before
// the reference are decoded ahead too, going down; prefetching runs a few
// steps past the last one, where there is no frame.
class FramesInOrder {
public:
    FramesInOrder(const FramePattern& input, std::vector<int> order)
        : order_(std::move(order)),
          reader_(input, FrameRole::Picture),
          cache_([this](int step) { return Decode(step); }, DefaultCacheBudgetBytes()),
          ahead_(static_cast<int>(std::max(2u, std::thread::hardware_concurrency()))) {
        cache_.Prefetch(1, ahead_);
    }

    size_t Steps() const { return order_.size(); }
    int FrameAt(size_t step) const { return order_[step]; }

    // The frame of `step`, null when it has no file; a broken file's error
    // is thrown.
    std::shared_ptr<const DecodedFrame> Get(size_t step) {
        const int key = static_cast<int>(step);
        if (step > 0) {
            cache_.Hold(key, key);
            cache_.Prefetch(key + 1, key + ahead_);
        }
        return cache_.Get(key);
    }

private:
    std::shared_ptr<const DecodedFrame> Decode(int step) {
        if (static_cast<size_t>(step) >= order_.size()) return nullptr;
        return reader_.Read(order_[static_cast<size_t>(step)]);
    }

    const std::vector<int> order_;
    SequenceReader reader_;
    FrameCache cache_;
    const int ahead_;
};

cv::Mat ReferenceLuma(FramesInOrder& frames, const FramePattern& input) {
    const int reference = frames.FrameAt(0);
    const auto first = frames.Get(0);
    if (!first)
        throw InputError(OIIO::Strutil::fmt::format("the reference frame {} has no file ({} does not exist)", reference,
                                                    input.PathOf(reference)));
    return TrackingLuma(*first->image);
}

void RequireDetail(const DriftTracker& tracker, const std::string& referencePath, const TrackOptions& options) {
    if (tracker.ReferenceFeatures() >= DriftTracker::MinimumAgreeing()) return;
    throw InputError("the reference frame " + referencePath + " has too little detail to track in " +
                     (options.region.empty() ? std::string("the frame") : "the region " + options.region) +
                     OIIO::Strutil::fmt::format(" ({} features); choose a region with texture that moves with the plate (--region)",
                                                tracker.ReferenceFeatures()));
}

// Measures one frame; a frame without a file or that does not match is
// reported, and the track goes on.
void MeasureStep(FramesInOrder& frames, size_t step, DriftTracker& tracker, const FramePattern& input,
                 std::map<int, DriftMeasurement>& measured, Progress& progress, RenderReport& report) {
    const int frame = frames.FrameAt(step);
    try {
        const auto decoded = frames.Get(step);
        if (!decoded) {
            report.Missing(frame, "the input " + input.Text(), input.PathOf(frame));
            return;
        }
        const DriftMeasurement measurement = tracker.Measure(frame, TrackingLuma(*decoded->image));
        if (!measurement.matched)
            throw InputError(OIIO::Strutil::fmt::format("frame {} does not match the plate: {}, and {} are needed", input.PathOf(frame),
                                                        MatchText(measurement), DriftTracker::MinimumAgreeing()));
        measured[frame] = measurement;
        progress.FrameDone(frame);
    } catch (const CliError& error) {
        report.Failed(frame, error);
    }
}

// Every frame's move from the reference, the reference's own among them.
std::map<int, DriftMeasurement> MeasureFrames(FramesInOrder& frames, DriftTracker& tracker, const FramePattern& input,
                                              Progress& progress, RenderReport& report) {
    const int reference = frames.FrameAt(0);
    std::map<int, DriftMeasurement> measured;
    measured[reference] = {true, {}, 1.0, tracker.ReferenceFeatures(), tracker.ReferenceFeatures(), reference, 0.0};
    progress.FrameDone(reference);
    for (size_t step = 1; step < frames.Steps(); ++step) {
        // The frames before the reference start again from it.
        if (frames.FrameAt(step) < reference && frames.FrameAt(step - 1) > reference) tracker.Restart();
        MeasureStep(frames, step, tracker, input, measured, progress, report);
    }
    return measured;
}

void WriteTrack(const std::string& path, const std::map<int, DriftMeasurement>& measured, const cv::Rect& tracked,
                const cv::Size& frameSize) {
    std::map<int, cv::Point2d> moves;
    for (const auto& [frame, measurement] : measured) moves[frame] = measurement.move;
    const cv::Point2d feature(tracked.x + tracked.width / 2.0, tracked.y + tracked.height / 2.0);
    WriteTextFile(path, TrackFileText(FeatureTrack(moves, feature, frameSize)));
}

}  // namespace

int RunTrack(const TrackOptions& options) {
    const FramePattern input(options.input);
    const std::vector<int> frames = FramesToTrack(input, options);
    const int reference = options.reference.value_or(frames.front());
    std::optional<cv::Rect> region;
    if (!options.region.empty()) region = ParseRegion(options.region);
    RefuseOverwritingAnInput(options.output, input, frames);
    // Removed again, when empty, if the track is not written.
    OutputFolders folders;
    OutputFolders::CheckCanMake(options.output);
    folders.MakeFor(options.output);

    FramesInOrder ordered(input, TrackingOrder(frames, reference));
    const cv::Mat referenceLuma = ReferenceLuma(ordered, input);
    const cv::Rect tracked = RegionIn(region, referenceLuma.size(), input.PathOf(reference));
    DriftTracker tracker(reference, referenceLuma, tracked);
    RequireDetail(tracker, input.PathOf(reference), options);

    Progress progress(frames.size(), ProgressFormat::Text, !options.quiet && StandardErrorIsTerminal());
    RenderReport report(progress, "tracked");
    const std::map<int, DriftMeasurement> measured = MeasureFrames(ordered, tracker, input, progress, report);
    const ExitStatus status = report.Finish();
    progress.Close(report.FramesNotWritten());

    WriteTrack(options.output, measured, tracked, referenceLuma.size());
    WarnBeyondTranslation(measured, progress);
    if (options.verbose) PrintEachFrame(measured, progress);
    if (!options.quiet) PrintSummary(measured, frames.size(), reference, progress.Seconds());
    return static_cast<int>(status);
}

CLI::App& AddTrackCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& track = *app.add_subcommand(
        "track", "Measure a plate's drift and write the track file that render --track reads");
    const auto options = std::make_shared<TrackOptions>();
    track.add_option("-i,--input", options->input, "Input sequence: plate.####.exr, plate.%04d.exr or one file")
        ->required();
    track.add_option("-o,--output", options->output,
                     "Track file to write: frame,x,y lines, x and y in image widths and heights, y down")
        ->required();
    AddRangeOption(track, options->range, "Frames to track, FIRST-LAST");
    track.add_option("--reference", options->reference, "The frame whose region is followed; its move is 0")
        ->type_name("FRAME")
        ->default_str("the first frame of the range");
    track.add_option("--region", options->region,
                     "The part of the reference frame to follow, in pixels from its top left; the tracked point is "
                     "its centre. Choose something that moves with the plate")
        ->type_name("X,Y,WIDTH,HEIGHT")
        ->default_str("the whole frame");
    track.add_flag("-v,--verbose", options->verbose,
                   "Each frame's move, its match strength (the share of features that agree) and the frame it was "
                   "measured against");
    track.add_flag("-q,--quiet", options->quiet, "No progress and no summary");
    track.callback([options, &chosen] {
        chosen = [options](const std::string&) { return RunTrack(*options); };
    });
    return track;
}

}  // namespace taviron::cli
