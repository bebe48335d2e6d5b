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
        return UsageError("--region takes X,Y,WIDTH,HEIGHT in pixels from the frame's top left (e.g. 0,0,640,360), "
                          "not \"" + text + "\"");
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

}  // namespace

int RunTrack(const TrackOptions& options) {
    const FramePattern input(options.input);
    const std::vector<int> frames = options.range.empty() ? input.FramesOnDisk() : options.range;
    if (frames.empty()) throw InputError("no frames of " + options.input + " found on disk");
    const int reference = options.reference.value_or(frames.front());
    if (!std::binary_search(frames.begin(), frames.end(), reference))
        throw UsageError(OIIO::Strutil::fmt::format("--reference {} is not a frame of the range {}", reference,
                                             RangesText({frames.begin(), frames.end()})));
    std::optional<cv::Rect> region;
    if (!options.region.empty()) region = ParseRegion(options.region);
    RefuseOverwritingAnInput(options.output, input, frames);
    // Removed again, when empty, if the track is not written.
    OutputFolders folders;
    OutputFolders::CheckCanMake(options.output);
    folders.MakeFor(options.output);

    const std::vector<int> order = TrackingOrder(frames, reference);
    SequenceReader reader(input, FrameRole::Picture);
    // Keyed by the step of the order, so that frames before the reference
    // are decoded ahead too, going down. Prefetching runs a few steps past the
    // last one, where there is no frame.
    FrameCache cache(
        [&](int step) -> std::shared_ptr<const DecodedFrame> {
            if (static_cast<size_t>(step) >= order.size()) return nullptr;
            return reader.Read(order[static_cast<size_t>(step)]);
        },
        DefaultCacheBudgetBytes());
    const int ahead = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));

    cache.Prefetch(1, ahead);
    const auto first = cache.Get(0);
    if (!first)
        throw InputError(OIIO::Strutil::fmt::format("the reference frame {} has no file ({} does not exist)", reference,
                                             input.PathOf(reference)));
    const cv::Mat referenceLuma = TrackingLuma(*first->image);
    const cv::Rect tracked = RegionIn(region, referenceLuma.size(), input.PathOf(reference));
    DriftTracker tracker(reference, referenceLuma, tracked);
    if (tracker.ReferenceFeatures() < DriftTracker::MinimumAgreeing())
        throw InputError("the reference frame " + input.PathOf(reference) + " has too little detail to track in " +
                         (region ? "the region " + options.region : std::string("the frame")) +
                         OIIO::Strutil::fmt::format(" ({} features); choose a region with texture that moves with the plate (--region)",
                                             tracker.ReferenceFeatures()));

    Progress progress(frames.size(), ProgressFormat::Text, !options.quiet && StandardErrorIsTerminal());
    RenderReport report(progress, "tracked");
    std::map<int, DriftMeasurement> measured;
    measured[reference] = {true, {}, 1.0, tracker.ReferenceFeatures(), tracker.ReferenceFeatures(), reference, 0.0};
    progress.FrameDone(reference);
    for (size_t step = 1; step < order.size(); ++step) {
        const int frame = order[step];
        if (frame < reference && order[step - 1] > reference) tracker.Restart();
        const int key = static_cast<int>(step);
        try {
            // Holding the step decodes it, and rethrows a broken file's error.
            cache.Hold(key, key);
            cache.Prefetch(key + 1, key + ahead);
            const auto decoded = cache.Get(key);
            if (!decoded) {
                report.Missing(frame, "the input " + input.Text(), input.PathOf(frame));
                continue;
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
    const ExitStatus status = report.Finish();
    progress.Close(report.FramesNotWritten());

    std::map<int, cv::Point2d> moves;
    for (const auto& [frame, measurement] : measured) moves[frame] = measurement.move;
    const cv::Point2d feature(tracked.x + tracked.width / 2.0, tracked.y + tracked.height / 2.0);
    WriteTextFile(options.output, TrackFileText(FeatureTrack(moves, feature, referenceLuma.size())));
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
