#include "filter/row_filter.h"

#include "filter/sample_position.h"

#include <vector>

namespace taviron {
namespace {

// Where one frame is read along the row.
struct FrameSampling {
    const Image* image;
    int32_t width;
    int32_t row;
    double shiftX;
};

std::vector<FrameSampling> PlanFrames(const RowJob& job, int32_t y) {
    std::vector<FrameSampling> plan;
    plan.reserve(job.frameCount);
    for (size_t j = 0; j < job.frameCount; ++j) {
        const Image* frame = job.frames[j];
        Displacement shift;
        if (job.controls.useTracking) {
            shift = TrackingDisplacement(job.currentPoint, job.framePoints[j], frame->Width(), frame->Height());
        }
        plan.push_back({frame, frame->Width(), SampleCoordinate(y, shift.y, frame->Height()), shift.x});
    }
    return plan;
}

// A mask of another size is read at the nearest pixel inside it; a mask
// without pixels, or none at all, filters everywhere like the all-ones mask.
float MaskAlpha(const Image* mask, int32_t x, int32_t y) {
    if (mask == nullptr || mask->Width() <= 0 || mask->Height() <= 0) {
        return 1.0f;
    }
    FltPixel pixel;
    mask->GetPixel(ClampIndex(x, mask->Width()), ClampIndex(y, mask->Height()), pixel);
    return pixel.A;
}

void CopySourceRow(const RowJob& job, int32_t y) {
    FltPixel pixel;
    for (int32_t x = 0; x < job.source->Width(); ++x) {
        job.source->GetPixel(x, y, pixel);
        job.output->SetPixel(x, y, pixel);
    }
}

}  // namespace

void FilterRow(const RowJob& job, int32_t y) {
    // Without samples (an empty window), or with a method number that names
    // no method, every channel keeps the source value and nothing else is read.
    if (job.frameCount == 0 || !IsFilterMethod(job.controls.method)) {
        CopySourceRow(job, y);
        return;
    }
    const std::vector<FrameSampling> plan = PlanFrames(job, y);
    PixelFilter filter(job.controls, job.frameCount);
    FltPixel source;
    FltPixel sample;
    for (int32_t x = 0; x < job.source->Width(); ++x) {
        job.source->GetPixel(x, y, source);
        FltPixel out = source;
        if (MaskFilters(MaskAlpha(job.mask, x, y))) {
            for (size_t j = 0; j < plan.size(); ++j) {
                const FrameSampling& frame = plan[j];
                frame.image->GetPixel(SampleCoordinate(x, frame.shiftX, frame.width), frame.row, sample);
                filter.TakeSample(j, sample);
            }
            filter.Finish(source, out);
        }
        job.output->SetPixel(x, y, out);
    }
}

}  // namespace taviron
