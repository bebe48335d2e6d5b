#include "support/filter_scene.h"

void FilterRows(const FilterScene& scene, Image& output, const taviron::RowControls& controls,
                taviron::ScratchPool& scratch, int32_t first, int32_t step) {
    std::vector<const Image*> frames;
    std::vector<const Point*> points;
    for (size_t j = 0; j < scene.frames.size(); ++j) {
        frames.push_back(scene.frames[j].get());
        points.push_back(scene.framePoints[j].get());
    }
    taviron::WorkingState state;
    state.source = scene.source.get();
    state.output = &output;
    state.mask = scene.mask.get();
    state.currentPoint = scene.currentPoint.get();
    state.frames = frames.data();
    state.framePoints = points.data();
    state.frameCount = frames.size();
    for (int32_t y = first; y < output.Height(); y += step) {
        taviron::FilterRow(state, controls, y, scratch);
    }
}

reference::Scene ReferenceScene(const FilterScene& scene) {
    reference::Scene plain;
    plain.source = scene.source.get();
    plain.mask = scene.mask.get();
    plain.currentPoint = scene.currentPoint.get();
    for (size_t j = 0; j < scene.frames.size(); ++j) {
        plain.frames.push_back(scene.frames[j].get());
        plain.framePoints.push_back(scene.framePoints[j].get());
    }
    return plain;
}
