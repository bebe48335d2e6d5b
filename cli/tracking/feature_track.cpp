#include "tracking/feature_track.h"

#include <cmath>

namespace taviron::cli {

namespace {

bool NearWhole(double pixels) { return std::abs(pixels - std::round(pixels)) <= kWholePixelTolerance; }

}  // namespace

bool MovesByWholePixels(const std::map<int, cv::Point2d>& moves) {
    for (const auto& [frame, move] : moves)
        if (!NearWhole(move.x) || !NearWhole(move.y)) return false;
    return true;
}

TrackData FeatureTrack(const std::map<int, cv::Point2d>& moves, const cv::Point2d& feature, const cv::Size& frameSize) {
    const bool whole = MovesByWholePixels(moves);
    TrackData track;
    for (const auto& [frame, measured] : moves) {
        const cv::Point2d move = whole ? cv::Point2d(std::round(measured.x), std::round(measured.y)) : measured;
        track[frame] = {(feature.x + move.x) / frameSize.width, (feature.y + move.y) / frameSize.height};
    }
    return track;
}

}  // namespace taviron::cli
