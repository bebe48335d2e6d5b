#include "commands/render_schedule.h"

#include "commands/frames_read.h"
#include "commands/window_size.h"
#include "errors.h"

#include <OpenImageIO/strutil.h>
#include <contract/tool_ids.h>

#include <algorithm>
#include <filesystem>

namespace taviron::cli {

namespace {

// Refuses --channels that name none of the input's channels: every frame
// would be copied unfiltered.
void RefuseAbsentChannels(const ChannelChoice& channels, const ChannelLayout& layout, const std::string& path) {
    const std::pair<char, int> planes[] = {{'r', CHAN_RED}, {'g', CHAN_GREEN}, {'b', CHAN_BLUE}, {'a', CHAN_ALPHA}};
    std::string present;
    for (const auto& [letter, plane] : planes) {
        if (!layout.FillsPlane(plane)) continue;
        if (channels.Includes(letter)) return;
        present += letter;
    }
    throw UsageError("--channels " + channels.letters + ": " + path + " has none of these channels, so nothing would be " +
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
    throw OutputError(OIIO::Strutil::fmt::format(
        "the window needs {} frames decoded at once ({}, with the next frame read ahead); the {} of --cache-mb "
        "hold {} of them, and the scratch folder {} has {} free, less than the {} the other {} take; free some "
        "space there, choose another folder with --scratch, raise --cache-mb, or give fewer --frames",
        held, SizeText(static_cast<double>(held * frameBytes)), SizeText(static_cast<double>(budget)), inMemory,
        scratch.Path(), SizeText(static_cast<double>(free)), SizeText(static_cast<double>(needed)), held - inMemory));
}

// The mask of a frame must cover the frame pixel for pixel.
void RequireMaskOfFrameSize(const DecodedFrame& mask, const Image& picture, const std::string& maskPath) {
    if (mask.image->Width() == picture.Width() && mask.image->Height() == picture.Height()) return;
    throw InputError(OIIO::Strutil::fmt::format("the mask {} is {}x{} but the frame is {}x{}", maskPath, mask.image->Width(),
                                                mask.image->Height(), picture.Width(), picture.Height()));
}

std::string ScratchPath(const std::string& option) {
    if (!option.empty()) return option;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    return error ? "/tmp" : temporary.string();
}

}  // namespace

Clip::Clip(const FramePattern& pattern, FrameRole role, size_t budget, const std::shared_ptr<ScratchFolder>& scratch,
           unsigned decoders, CoreShare& cores)
    : reader(std::make_shared<SequenceReader>(pattern, role)),
      cache(std::make_shared<FrameCache>([reader = reader](int frame) { return reader->Read(frame); }, budget,
                                         [scratch](const DecodedFrame& frame) { return scratch->Keep(frame); },
                                         decoders, &cores)),
      source(std::make_shared<SequenceSource>(cache)) {}

std::shared_ptr<const DecodedFrame> Clip::Window(int frame, FrameSpan held, std::optional<FrameSpan> ahead) {
    cache->Hold(held.first, held.last);
    if (ahead) cache->Prefetch(ahead->first, ahead->last);
    return cache->Get(frame);
}

// The render's thread decodes the input too while it waits for a frame; the
// mask, one frame a request, has one thread of its own.
RenderSchedule::RenderSchedule(PluginSession& session, const RenderPlan& plan, const std::string& scratchFolder,
                               CoreShare& cores)
    : plan_(plan),
      scratch_(std::make_shared<ScratchFolder>(ScratchPath(scratchFolder))),
      input_(plan.input, FrameRole::Picture, plan.budget, scratch_, std::max(1u, cores.Cores() - 1), cores) {
    session.InputWithID(taviron::link_id::kInput).Connect(input_.source);
    sources_.push_back(input_.source.get());
    if (!plan.mask) return;
    mask_.emplace(*plan.mask, FrameRole::Mask, plan.budget, scratch_, 1, cores);
    session.InputWithID(taviron::link_id::kMask).Connect(mask_->source);
    sources_.push_back(mask_->source.get());
}

void RenderSchedule::CheckFirstFrame(const std::optional<ChannelChoice>& channels) {
    const int frame = plan_.frames.front();
    try {
        if (const auto first = input_.cache->Get(frame)) {
            if (channels) RefuseAbsentChannels(*channels, first->format->layout, plan_.input.PathOf(frame));
            CheckRoomForTheWindow(first->Bytes(), plan_.window, plan_.budget, *scratch_);
        }
    } catch (const CliError& error) {
        if (error.Status() != ExitStatus::Input) throw;
    }
}

FrameInWindow RenderSchedule::Advance(int frame, std::optional<int> next) {
    const FrameSpan held = InputFramesOf(frame, plan_.window);
    std::optional<FrameSpan> ahead;
    if (next) ahead = InputFramesOf(*next, plan_.window);
    FrameInWindow ready;
    ready.current = input_.Window(frame, held, ahead);
    if (!ready.current) return {nullptr, FrameInWindow::Missing::Input};
    RequireWindowOfOneSize(*input_.cache, held, frame, *ready.current, [&](int k) { return plan_.input.PathOf(k); });
    if (!mask_) return ready;
    std::optional<FrameSpan> maskAhead;
    if (next) maskAhead = FrameSpan{*next, *next};
    const auto mask = mask_->Window(frame, {frame, frame}, maskAhead);
    if (!mask) return {nullptr, FrameInWindow::Missing::Mask};
    RequireMaskOfFrameSize(*mask, *ready.current->image, mask_->reader->PathOf(frame));
    return ready;
}

}  // namespace taviron::cli
