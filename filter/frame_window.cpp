#include <filter/frame_window.h>

#include <algorithm>

namespace taviron {

void FrameWindow::Gather(Input* imageInput, Input* pointInput, double time, WindowOffsets offsets) {
    for (int64_t k = offsets.first; k <= offsets.last; ++k) {
        const double frameTime = static_cast<double>(k) + time;
        HostRef<Image> image(static_cast<Image*>(imageInput->GetSource(frameTime)));
        HostRef<Point> point(static_cast<Point*>(pointInput->GetSource(frameTime)));
        if (image && image->Width() > 0 && image->Height() > 0) {
            Append(std::move(image), std::move(point));
        }
    }
}

void FrameWindow::Append(HostRef<Image> image, HostRef<Point> point) {
    // Both lists grow before either takes the entry, so that running out of
    // memory leaves them of equal length and the references with the caller.
    if (images_.size() == images_.capacity() || points_.size() == points_.capacity()) {
        const size_t capacity = std::max<size_t>(8, 2 * images_.size());
        images_.reserve(capacity);
        points_.reserve(capacity);
    }
    images_.push_back(image.release());
    points_.push_back(point.release());
}

void FrameWindow::Release() {
    for (size_t i = 0; i < images_.size(); ++i) {
        images_[i]->Recycle();
        if (points_[i] != nullptr) {
            points_[i]->Recycle();
        }
    }
    images_.clear();
    points_.clear();
}

}  // namespace taviron
