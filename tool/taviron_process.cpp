// Request processing: gathering the frame window and the rows of the output.
#include "taviron.h"

#include <contract/control_values.h>
#include <contract/request_window.h>
#include <filter/frame_window.h>
#include <filter/row_filter.h>
#include <hostsdk/host_ref.h>

using taviron::HostRef;

namespace {

// What one request fetched or made, the frame window the rows read and the
// rows' scratch storage. Whatever is still held when it goes is released,
// however Process leaves.
struct RequestState {
    HostRef<Image> source;
    HostRef<Image> output;
    HostRef<Image> mask;
    HostRef<Point> currentPoint;
    taviron::FrameWindow window;
    taviron::ScratchPool scratch;

    // The window first to last, then the source, the mask and the current
    // point; the output only if it was never handed to the request.
    void Release() {
        window.Release();
        source.reset();
        mask.reset();
        currentPoint.reset();
        output.reset();
    }
    ~RequestState() { Release(); }
};

// Clears the tool's view of the request when Process leaves, before the
// state itself is released.
class WorkingStateReset {
public:
    WorkingStateReset(Taviron& tool, Request* req) : tool_(tool), req_(req) {}
    WorkingStateReset(const WorkingStateReset&) = delete;
    WorkingStateReset& operator=(const WorkingStateReset&) = delete;
    ~WorkingStateReset() {
        tool_.SourceImg = nullptr;
        tool_.OutImg = nullptr;
        tool_.MaskImg = nullptr;
        req_->SetOperatorData(nullptr);
    }

private:
    Taviron& tool_;
    Request* req_;
};

FltPixel OpaqueWhite() {
    FltPixel pixel;
    pixel.B = pixel.G = pixel.R = pixel.A = 1.0f;
    return pixel;
}

}  // namespace

void Taviron::Process(Request* req) {
    // Frames, then Sample Direction: the host sees its controls read in this
    // order, which the arguments of one call would leave to the compiler.
    const double frames = req->GetInputData(InFrames, 0)->Value;
    const double direction = req->GetInputData(InSampleDirection, 0)->Value;
    const taviron::RequestWindow window = taviron::RequestWindowOf(frames, direction);
    const double time = req->Time();

    RequestState state;
    WorkingStateReset reset(*this, req);

    state.source.reset(static_cast<Image*>(InImage->GetSource(time)));
    SourceImg = state.source.get();
    state.output.reset(NewImage(TAG_ImageLike, SourceImg, TAG_DONE));
    OutImg = state.output.get();
    state.currentPoint.reset(static_cast<Point*>(InTrackData->GetSource(time)));
    state.mask.reset(static_cast<Image*>(InMask->GetSource(time)));
    if (!state.mask) {
        state.mask.reset(NewImage(TAG_ImageLike, SourceImg, TAG_DONE));
        if (state.mask) {
            state.mask->Fill(OpaqueWhite());
        }
    }
    MaskImg = state.mask.get();

    if (window.PassesThrough() || !state.source) {
        // The request takes the source itself; the rest goes back.
        req->SetOutputData(OutImage, state.source.release());
        state.output.reset();
        state.mask.reset();
        state.currentPoint.reset();
        return;
    }
    if (!state.output) {
        // No memory for the result: no output rather than a partial one.
        req->SetOutputData(OutImage, nullptr);
        return;
    }

    state.window.Gather(InImage, InTrackData, time, window.gathered);
    req->SetOperatorData(&state);
    DoMultiProcess(req, SourceImg->Height());
    req->SetOutputData(OutImage, state.output.release());
    state.Release();
}

void Taviron::ProcessChunk(Request* req, long chunk) {
    auto& state = *static_cast<RequestState*>(req->OperatorData());
    auto value = [req](Input* input) { return req->GetInputData(input, 0)->Value; };

    taviron::RowControls controls;
    controls.channelOn[CHAN_RED] = taviron::CheckboxOn(value(InRed));
    controls.channelOn[CHAN_GREEN] = taviron::CheckboxOn(value(InGreen));
    controls.channelOn[CHAN_BLUE] = taviron::CheckboxOn(value(InBlue));
    controls.channelOn[CHAN_ALPHA] = taviron::CheckboxOn(value(InAlpha));
    controls.threshold = value(InThreshold);
    controls.useTracking = taviron::CheckboxOn(value(InUseData));
    controls.method = taviron::MethodNumber(value(InFilterMethod));

    taviron::WorkingState working;
    working.source = SourceImg;
    working.output = OutImg;
    working.mask = MaskImg;
    working.currentPoint = state.currentPoint.get();
    working.frames = state.window.Images().data();
    working.framePoints = state.window.Points().data();
    working.frameCount = state.window.Size();
    taviron::FilterRow(working, controls, static_cast<int32_t>(chunk), state.scratch);
}
