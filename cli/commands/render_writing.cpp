#include "commands/render_writing.h"

#include "commands/progress.h"
#include "commands/render_report.h"
#include "commands/render_schedule.h"
#include "errors.h"
#include "hosting/filtered_frame.h"
#include "io/core_share.h"
#include "io/reading/sequence_pixel_type.h"
#include "io/writing/complete_output.h"
#include "io/writing/interrupt_cleanup.h"
#include "io/writing/output_folders.h"
#include "io/writing/stale_temporaries.h"
#include "io/writing/write_queue.h"
#include "printable_line.h"

#include <contract/tool_ids.h>
#include <hostsdk/operator.h>

#include <cstdio>
#include <filesystem>
#include <set>

namespace taviron::cli {

namespace {

constexpr size_t kFramesWaitingToBeWritten = 1;

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

// What is done once the plan stands and before the first frame is decoded:
// the folders the outputs need can be made, and the temporary files an
// interrupted render left are gone.
void PrepareOutputs(const RenderPlan& plan, const RenderOptions& options) {
    OutputFolders::CheckCanMake(plan.output.PathOf(plan.frames.front()));
    OutputFolders::CheckCanMake(plan.output.PathOf(plan.frames.back()));
    if (options.progressFormat == ProgressFormat::OpenJD) SetInterruptNotice(TellOpenJDFailureNow);
    RemoveStaleTemporaryFiles(plan.output, plan.frames);
}

// The frames of a render as they are filtered and handed to the writers.
// Frames wait for a writer in the file's own type: a finished host image goes
// before its file is compressed. A frame is filtered only when there is room
// for it, so none is held while the writers are busy. A frame is told as done
// once its file is complete.
class FrameWriting {
public:
    FrameWriting(PluginSession& session, const RenderPlan& plan, const RenderOptions& options, CoreShare& cores,
                 RenderSchedule& schedule, OIIO::TypeDesc outputType)
        : session_(session),
          plan_(plan),
          options_(options),
          schedule_(schedule),
          outputType_(outputType),
          progress_(plan.frames.size(), options.progressFormat, !options.quiet && StandardErrorIsTerminal()),
          report_(progress_),
          writer_(cores.Cores(), kFramesWaitingToBeWritten, &cores,
                  [this](int frame) { progress_.FrameDone(frame); }) {}

    void RenderAll() {
        for (size_t i = 0; i < plan_.frames.size(); ++i) {
            const int frame = plan_.frames[i];
            if (Passed(frame)) continue;
            std::optional<int> next;
            if (i + 1 < plan_.frames.size()) next = plan_.frames[i + 1];
            Render(frame, next);
        }
    }

    // Reports what was not written; returns the exit status.
    int Finish() {
        ReportWriteFailures(writer_.Finish(), report_);
        // Frames dropped from the queue after a write failed.
        for (int frame : queued_)
            if (!writer_.Written().count(frame)) report_.NotWritten(frame);
        if (const std::string failure = progress_.Failure(); !failure.empty()) report_.Failed(OutputError(failure));
        const ExitStatus status = report_.Finish();
        progress_.Close(report_.FramesNotWritten());
        if (!options_.quiet) PrintSummary();
        return static_cast<int>(status);
    }

private:
    // Whether `frame` gets no output and is reported (or, resuming, left) as such.
    bool Passed(int frame) {
        if (options_.skipExisting && CompleteOutputExists(plan_.output.PathOf(frame))) {
            ++skippedExisting_;
            return true;
        }
        writing_ = writing_ && progress_.Failure().empty() && writer_.WaitForRoom();
        if (!writing_) {
            report_.NotWritten(frame);
            return true;
        }
        // A frame without its file gets no output: the window is not even decoded.
        if (plan_.input.IsSequence() && !FileExists(plan_.input.PathOf(frame))) {
            ReportMissing(frame, FrameInWindow::Missing::Input);
            return true;
        }
        if (!plan_.trackGaps) return false;
        const std::set<int> points = plan_.trackGaps->MissingFor(frame);
        if (points.empty()) return false;
        report_.Untracked(frame, options_.track, points);
        return true;
    }

    void Render(int frame, std::optional<int> next) {
        try {
            const FrameInWindow ready = schedule_.Advance(frame, next);
            if (ready.missing != FrameInWindow::Missing::Nothing) {
                ReportMissing(frame, ready.missing);
                return;
            }
            Output& result = session_.OutputWithID(taviron::link_id::kOutput);
            auto file = std::make_unique<PendingFrameFile>(
                plan_.output.PathOf(frame), *FilteredFrame(session_.Tool(), result, frame, schedule_.Sources()),
                *ready.current->format, ready.current->extras.get(), outputType_, options_.encoding);
            folders_.MakeFor(plan_.output.PathOf(frame));
            writer_.Push(frame, std::move(file));
            queued_.insert(frame);
            schedule_.Trim();
        } catch (const CliError& error) {
            // A frame that cannot be read fails the outputs that need it; the
            // others are rendered.
            report_.Failed(frame, error);
            if (error.Status() == ExitStatus::Output) writing_ = false;
        }
    }

    void ReportMissing(int frame, FrameInWindow::Missing missing) {
        if (missing == FrameInWindow::Missing::Input)
            report_.Missing(frame, "the input " + plan_.input.Text(), plan_.input.PathOf(frame));
        else
            report_.Missing(frame, "the mask " + plan_.mask->Text(), plan_.mask->PathOf(frame));
    }

    void PrintSummary() const {
        const double seconds = progress_.Seconds();
        const size_t rendered = writer_.Written().size();
        std::fprintf(stderr, "taviron: rendered %zu of %zu frames in %.2f s (%.2f fps); %zu input frames read from disk",
                     rendered, plan_.frames.size(), seconds, seconds > 0 ? static_cast<double>(rendered) / seconds : 0.0,
                     schedule_.FilesRead());
        if (skippedExisting_) std::fprintf(stderr, "; %zu skipped, their outputs exist", skippedExisting_);
        std::fprintf(stderr, "\n");
        const ScratchFolder& scratch = schedule_.Scratch();
        if (scratch.FramesKept())
            std::fprintf(stderr, "taviron: %zu frames kept in the scratch folder %s beyond --cache-mb, %s at most\n",
                         scratch.FramesKept(), PrintableLine(scratch.Path()).c_str(),
                         SizeText(static_cast<double>(scratch.PeakBytes())).c_str());
    }

    PluginSession& session_;
    const RenderPlan& plan_;
    const RenderOptions& options_;
    RenderSchedule& schedule_;
    const OIIO::TypeDesc outputType_;
    Progress progress_;
    RenderReport report_;
    OutputFolders folders_;
    WriteQueue writer_;
    std::set<int> queued_;
    size_t skippedExisting_ = 0;
    // Until an output fails (a write, the scratch folder, the progress
    // messages): what fails one output fails the ones after it.
    bool writing_ = true;
};

}  // namespace

int WriteRender(PluginSession& session, const RenderPlan& plan, RenderSchedule& schedule, const RenderOptions& options,
                CoreShare& cores) {
    // Filtering, decoding and writing each use every core of the task, and
    // decoding and writing take turns of them.
    SetWorkerThreadCount(cores.Cores());
    PrepareOutputs(plan, options);
    const OIIO::TypeDesc outputType =
        plan.requestedType != OIIO::TypeDesc::UNKNOWN ? plan.requestedType : SequencePixelType(plan.input);
    schedule.CheckFirstFrame(options.controls.channels);
    FrameWriting writing(session, plan, options, cores, schedule, outputType);
    writing.RenderAll();
    return writing.Finish();
}

}  // namespace taviron::cli
