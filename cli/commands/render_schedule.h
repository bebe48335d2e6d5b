// Which decoded frames a render holds, reads ahead and lets go. The input
// and the mask are clips the tool's links fetch from; for each frame the
// schedule holds the frames its request reads, has the next frame's decoded
// meanwhile, and checks what arrived before the tool sees it.
#pragma once

#include "commands/frames_read.h"
#include "commands/render_plan.h"
#include "hosting/control_settings.h"
#include "hosting/plugin_session.h"
#include "hosting/sources.h"
#include "io/caching/frame_cache.h"
#include "io/caching/scratch_folder.h"
#include "io/core_share.h"
#include "io/reading/sequence_reader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace taviron::cli {

// A sequence and the cache that holds its decoded frames, in memory as far as
// the budget goes and in the scratch folder beyond, decoded on `decoders`
// threads and the render's own, on turns of the render's cores.
struct Clip {
    Clip(const FramePattern& pattern, FrameRole role, size_t budget, const std::shared_ptr<ScratchFolder>& scratch,
         unsigned decoders, CoreShare& cores);

    // Holds `held`, reads `ahead` ahead when there is one, and gives `frame`
    // (nullptr when its file is missing).
    std::shared_ptr<const DecodedFrame> Window(int frame, FrameSpan held, std::optional<FrameSpan> ahead);

    std::shared_ptr<SequenceReader> reader;
    std::shared_ptr<FrameCache> cache;
    std::shared_ptr<SequenceSource> source;
};

// What the schedule has ready for one frame.
struct FrameInWindow {
    enum class Missing {
        Nothing,
        Input,
        Mask,
    };
    std::shared_ptr<const DecodedFrame> current;  // the input frame, when nothing is missing
    Missing missing = Missing::Nothing;
};

class RenderSchedule {
public:
    // Connects the clips to the tool's Input and Mask links. `scratchFolder`
    // is --scratch: empty for the system's temporary folder.
    RenderSchedule(PluginSession& session, const RenderPlan& plan, const std::string& scratchFolder, CoreShare& cores);

    // Refuses, before anything is written, --channels that name none of the
    // first frame's channels and a window that fits neither the memory
    // budget nor the scratch folder. A first frame that cannot be read is
    // reported with its frame later.
    void CheckFirstFrame(const std::optional<ChannelChoice>& channels);

    // Holds the window of `frame` (and its mask), reads `next`'s ahead, and
    // checks that the frames held agree in size. Throws CliError.
    FrameInWindow Advance(int frame, std::optional<int> next);
    // Lets go of frames beyond the budget once a frame is filtered.
    void Trim() { input_.cache->Trim(); }

    const std::vector<SequenceSource*>& Sources() const { return sources_; }
    size_t FilesRead() const { return input_.reader->FilesRead(); }
    const ScratchFolder& Scratch() const { return *scratch_; }

private:
    const RenderPlan& plan_;
    std::shared_ptr<ScratchFolder> scratch_;
    Clip input_;
    std::optional<Clip> mask_;
    std::vector<SequenceSource*> sources_;
};

}  // namespace taviron::cli
