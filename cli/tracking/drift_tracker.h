// How far the picture of a plate has drifted from a reference frame.
// Features of a region of the reference are followed into each frame
// (pyramidal Lucas-Kanade), and a robust fit of a similarity transform
// (RANSAC) sets apart the features that move with the plate from those on
// passers-by; the plate's move is the mean move of the features that agree.
//
// Frames are measured one after another, away from the reference, each
// starting from its neighbour's move. Each is measured against an anchor,
// the reference at first: measuring every frame against one anchor adds no
// error from frame to frame, as chaining neighbours would. When the view has
// moved on (half the anchor's features are out of the frame) or the match
// falls apart (passers-by cover the region, the light changes), the last
// frame measured becomes the anchor, with features of its own; each such step
// adds the error of one measurement. A frame that does
// not match even the last one is left unmatched, and the next frame starts
// again from the last frame matched.
#pragma once

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

namespace taviron::cli {

struct DriftMeasurement {
    bool matched = false;
    // Where the reference's content has moved to, in pixels (y down).
    cv::Point2d move;
    // Share of the anchor's features that agree with the move, 0 to 1.
    double strength = 0.0;
    // Features that agree, and the frame they were measured against.
    int agreeing = 0;
    int anchorFeatures = 0;
    int anchor = 0;
    // How far, in pixels, the best rotation and scale depart from the move at
    // the frame's farthest corner: more than a pixel, and no translation can
    // line the frame up.
    double beyondTranslation = 0.0;
};

class DriftTracker {
public:
    // `region` lies inside the reference frame.
    DriftTracker(int referenceFrame, const cv::Mat& referenceLuma, const cv::Rect& region);

    // Features found in the region of the reference; too few, and nothing
    // can be measured.
    int ReferenceFeatures() const { return static_cast<int>(reference_.features.size()); }
    // Enough agreeing features to call a frame matched.
    static int MinimumAgreeing();

    // `luma` is the frame one step further from the reference than the last
    // one measured, of the reference's size.
    DriftMeasurement Measure(int frame, const cv::Mat& luma);
    // Starts again from the reference, for the frames on its other side.
    void Restart();

private:
    // Rotation and scale, relative to the reference.
    struct Similarity {
        double scale = 1.0;
        double angle = 0.0;
    };
    struct Anchor {
        int frame = 0;
        std::vector<cv::Mat> pyramid;
        std::vector<cv::Point2f> features;
        cv::Point2d move;
        Similarity similarity;
        // Of the first frame measured against it; 0 until then.
        double firstStrength = 0.0;
    };
    struct Fit {
        bool matched = false;
        cv::Point2d move;
        Similarity similarity;
        int agreeing = 0;
        double strength = 0.0;
    };
    struct Measured {
        int frame = 0;
        std::vector<cv::Mat> pyramid;
        cv::Point2d move;
        Similarity similarity;
    };

    Anchor AnchorAt(const Measured& frame) const;
    Fit FitAgainst(const Anchor& anchor, const std::vector<cv::Mat>& pyramid) const;
    double InViewShare(const Anchor& anchor, const cv::Point2d& move) const;
    double BeyondTranslation(const Similarity& similarity, const cv::Point2d& move) const;

    cv::Rect region_;
    cv::Size size_;
    Anchor reference_;
    Anchor anchor_;
    // The last frame matched on this side of the reference: the next frame
    // starts from its move, and it is the anchor a weak match moves to.
    Measured last_;
    std::optional<Measured> candidate_;
};

}  // namespace taviron::cli
