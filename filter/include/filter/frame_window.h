// The frames of one request: the input image of every frame of the window and
// the track point at the same time, earliest first.
#pragma once

#include <contract/request_window.h>
#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>
#include <hostsdk/link.h>
#include <hostsdk/parameter.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace taviron {

// Two parallel lists of equal length: entry i is the image of one window frame
// (always present) and the track point at its time (may be absent). Each entry
// holds one reference, given back by Release or at destruction.
class FrameWindow {
public:
    FrameWindow() = default;
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;
    ~FrameWindow() { Release(); }

    // Fetches, for each offset k in ascending order, the image and then the
    // point at time + k, and appends both. An offset without an image, or
    // with an image without pixels, is left out and its point released at
    // once.
    void Gather(Input* imageInput, Input* pointInput, double time, WindowOffsets offsets);

    // Releases every entry, first to last, its image and then its point, and
    // empties the lists.
    void Release();

    size_t Size() const { return images_.size(); }
    const std::vector<Image*>& Images() const { return images_; }
    const std::vector<Point*>& Points() const { return points_; }

private:
    void Append(HostRef<Image> image, HostRef<Point> point);

    std::vector<Image*> images_;
    std::vector<Point*> points_;
};

}  // namespace taviron
