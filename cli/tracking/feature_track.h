// From the plate's measured moves to a track file's points: where the
// tracked feature (the centre of the tracked region in the reference frame)
// is in each frame, in units of the frame's width and height, y down.
#pragma once

#include "hosting/track_file.h"

#include <opencv2/core.hpp>

#include <map>

namespace taviron::cli {

// A plate moved by whole pixels (a reposition or a crop) measures within a
// few hundredths of whole numbers; the render samples whole pixels by
// truncation, so a move measured a hair short would take every sample one
// pixel off. When every move of the track lies within this of whole numbers
// of pixels, in both directions, the moves are written whole. A plate
// drifting by fractions of pixels almost never comes that close in every
// frame, and then its moves are written as measured.
constexpr double kWholePixelTolerance = 0.1;

// Whether every move lies within kWholePixelTolerance of whole pixels.
bool MovesByWholePixels(const std::map<int, cv::Point2d>& moves);

// `moves` of the reference's content in pixels, per frame; `feature` the
// tracked point in the reference frame, in pixels.
TrackData FeatureTrack(const std::map<int, cv::Point2d>& moves, const cv::Point2d& feature, const cv::Size& frameSize);

}  // namespace taviron::cli
