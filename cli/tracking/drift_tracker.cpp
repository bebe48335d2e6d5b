#include "tracking/drift_tracker.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include <algorithm>
#include <cmath>

namespace taviron::cli {

namespace {

// Chosen by measurement on crops of a street clip walked by known moves
// (bench/track_bench.cpp for the time): more features, a wider window or more
// steps of refinement per level did not come closer to the true moves, and
// took up to three times as long.
constexpr int kMaxFeatures = 200;
constexpr double kFeatureQuality = 0.01;
constexpr double kFeatureSpacing = 8;
const cv::Size kWindow(11, 11);
constexpr int kPyramidLevels = 3;
const cv::TermCriteria kConvergence(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 10, 0.01);
// A feature agrees with the fit when it lands within this of it, in pixels.
constexpr double kAgreement = 0.5;
constexpr int kMinimumAgreeing = 10;
// The last frame measured becomes the anchor when fewer than this share of
// the anchor's features are still in view...
constexpr double kReanchorInView = 0.5;
// ...or when the share that agree falls below this part of the share the
// anchor's first frame had (passers-by cover the region, the light changes).
// The share itself says little: plates of grass or compression noise agree
// less at best, and agree less with frames further away in time.
constexpr double kReanchorBelow = 0.25;
// The frame that would be the next anchor is kept once fewer than this share
// of the anchor's features are in view, before the view has moved on.
constexpr double kCandidateInView = 0.75;

std::vector<cv::Point2f> FeaturesIn(const cv::Mat& luma, const cv::Rect& region) {
    cv::Mat mask = cv::Mat::zeros(luma.size(), CV_8UC1);
    mask(region).setTo(255);
    std::vector<cv::Point2f> features;
    cv::goodFeaturesToTrack(luma, features, kMaxFeatures, kFeatureQuality, kFeatureSpacing, mask);
    return features;
}

// Lucas-Kanade takes gradients from the image measured against alone: a
// frame's pyramid holds its images, and only an anchor's holds the gradients
// of each level, computed once for all the frames measured against it.
std::vector<cv::Mat> PyramidOf(const cv::Mat& luma, bool withGradients) {
    std::vector<cv::Mat> pyramid;
    cv::buildOpticalFlowPyramid(luma, pyramid, kWindow, kPyramidLevels, withGradients);
    return pyramid;
}

}  // namespace

DriftTracker::DriftTracker(int referenceFrame, const cv::Mat& referenceLuma, const cv::Rect& region)
    : region_(region), size_(referenceLuma.size()) {
    reference_.frame = referenceFrame;
    reference_.pyramid = PyramidOf(referenceLuma, true);
    reference_.features = FeaturesIn(referenceLuma, region);
    Restart();
}

int DriftTracker::MinimumAgreeing() { return kMinimumAgreeing; }

void DriftTracker::Restart() {
    anchor_ = reference_;
    candidate_.reset();
    last_ = {reference_.frame, reference_.pyramid, {}, {}};
}

DriftMeasurement DriftTracker::Measure(int frame, const cv::Mat& luma) {
    std::vector<cv::Mat> pyramid = PyramidOf(luma, false);
    Fit fit = FitAgainst(anchor_, pyramid);
    if (anchor_.firstStrength == 0.0 && fit.matched) {
        anchor_.firstStrength = fit.strength;
        if (anchor_.frame == reference_.frame) reference_.firstStrength = fit.strength;
    }
    const bool movedOn = fit.matched && InViewShare(anchor_, fit.move) < kReanchorInView;
    if (movedOn || fit.strength < kReanchorBelow * anchor_.firstStrength) {
        for (const Measured* next : {candidate_ ? &*candidate_ : nullptr, &last_}) {
            if (!next || next->frame == anchor_.frame) continue;
            Anchor nearer = AnchorAt(*next);
            Fit refit = FitAgainst(nearer, pyramid);
            if (refit.matched && refit.strength > fit.strength) {
                nearer.firstStrength = refit.strength;
                anchor_ = std::move(nearer);
                fit = refit;
                candidate_.reset();
                break;
            }
        }
    }
    if (!candidate_ && fit.matched && InViewShare(anchor_, fit.move) < kCandidateInView)
        candidate_ = Measured{frame, pyramid, fit.move, fit.similarity};
    DriftMeasurement measurement;
    measurement.matched = fit.matched;
    measurement.strength = fit.strength;
    measurement.agreeing = fit.agreeing;
    measurement.anchorFeatures = static_cast<int>(anchor_.features.size());
    measurement.anchor = anchor_.frame;
    if (!fit.matched) return measurement;
    measurement.move = fit.move;
    measurement.beyondTranslation = BeyondTranslation(fit.similarity, fit.move);
    last_ = {frame, std::move(pyramid), fit.move, fit.similarity};
    return measurement;
}

// The last frame measured as an anchor: features of the region where it has
// moved to in that frame, or of the whole frame once the part of the region
// left in view holds fewer than half the reference's.
DriftTracker::Anchor DriftTracker::AnchorAt(const Measured& frame) const {
    Anchor anchor;
    anchor.frame = frame.frame;
    anchor.pyramid = PyramidOf(frame.pyramid[0], true);
    anchor.move = frame.move;
    anchor.similarity = frame.similarity;
    const cv::Rect moved(region_.x + static_cast<int>(std::lround(frame.move.x)),
                         region_.y + static_cast<int>(std::lround(frame.move.y)), region_.width, region_.height);
    const cv::Rect inView = moved & cv::Rect({0, 0}, size_);
    if (!inView.empty()) anchor.features = FeaturesIn(frame.pyramid[0], inView);
    if (anchor.features.size() < reference_.features.size() / 2)
        anchor.features = FeaturesIn(frame.pyramid[0], cv::Rect({0, 0}, size_));
    return anchor;
}

DriftTracker::Fit DriftTracker::FitAgainst(const Anchor& anchor, const std::vector<cv::Mat>& pyramid) const {
    Fit fit;
    if (static_cast<int>(anchor.features.size()) < kMinimumAgreeing) return fit;
    // Each feature starts where the last frame's move puts it.
    const cv::Point2f start(static_cast<float>(last_.move.x - anchor.move.x),
                            static_cast<float>(last_.move.y - anchor.move.y));
    std::vector<cv::Point2f> found;
    found.reserve(anchor.features.size());
    for (const cv::Point2f& feature : anchor.features) found.push_back(feature + start);
    std::vector<unsigned char> tracked;
    std::vector<float> errors;
    cv::calcOpticalFlowPyrLK(anchor.pyramid, pyramid, anchor.features, found, tracked, errors, kWindow,
                             kPyramidLevels, kConvergence, cv::OPTFLOW_USE_INITIAL_FLOW);
    std::vector<cv::Point2f> from;
    std::vector<cv::Point2f> to;
    for (size_t i = 0; i < tracked.size(); ++i) {
        if (!tracked[i]) continue;
        from.push_back(anchor.features[i]);
        to.push_back(found[i]);
    }
    if (static_cast<int>(from.size()) < kMinimumAgreeing) return fit;
    std::vector<unsigned char> agrees;
    const cv::Mat similarity = cv::estimateAffinePartial2D(from, to, agrees, cv::RANSAC, kAgreement);
    if (similarity.empty()) return fit;
    cv::Point2d sum;
    for (size_t i = 0; i < from.size(); ++i) {
        if (!agrees[i]) continue;
        sum += cv::Point2d(to[i] - from[i]);
        ++fit.agreeing;
    }
    fit.strength = static_cast<double>(fit.agreeing) / static_cast<double>(anchor.features.size());
    fit.matched = fit.agreeing >= kMinimumAgreeing;
    if (!fit.matched) return fit;
    fit.move = anchor.move + sum / fit.agreeing;
    const double a = similarity.at<double>(0, 0);
    const double b = similarity.at<double>(1, 0);
    fit.similarity = {anchor.similarity.scale * std::hypot(a, b), anchor.similarity.angle + std::atan2(b, a)};
    return fit;
}

// Share of the anchor's features that a frame moved by `move` still shows.
double DriftTracker::InViewShare(const Anchor& anchor, const cv::Point2d& move) const {
    const cv::Point2f shift(static_cast<float>(move.x - anchor.move.x), static_cast<float>(move.y - anchor.move.y));
    const cv::Rect2f view(0.0f, 0.0f, static_cast<float>(size_.width), static_cast<float>(size_.height));
    const auto shown = std::count_if(anchor.features.begin(), anchor.features.end(),
                                     [&](const cv::Point2f& feature) { return view.contains(feature + shift); });
    return static_cast<double>(shown) / static_cast<double>(anchor.features.size());
}

// The similarity's departure from a translation grows with the distance from
// the tracked point, the centre of the region where it has moved to.
double DriftTracker::BeyondTranslation(const Similarity& similarity, const cv::Point2d& move) const {
    const cv::Point2d centre(region_.x + region_.width / 2.0 + move.x, region_.y + region_.height / 2.0 + move.y);
    double farthest = 0.0;
    for (const cv::Point2d corner : {cv::Point2d(0, 0), cv::Point2d(size_.width, 0), cv::Point2d(0, size_.height),
                                     cv::Point2d(size_.width, size_.height)})
        farthest = std::max(farthest, std::hypot(corner.x - centre.x, corner.y - centre.y));
    const double departure = std::hypot(similarity.scale * std::cos(similarity.angle) - 1.0,
                                        similarity.scale * std::sin(similarity.angle));
    return departure * farthest;
}

}  // namespace taviron::cli
