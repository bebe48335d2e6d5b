#include <contract/request_window.h>

#include <contract/combo_items.h>
#include <contract/control_values.h>

namespace taviron {

WindowOffsets WindowOffsetsFor(int32_t frames, int32_t direction) {
    const int64_t n = frames;
    switch (static_cast<SampleDirection>(direction)) {
    case SampleDirection::Backward:
        return {-n, 0};
    case SampleDirection::Both:
        return {-n, n};
    case SampleDirection::Forward:
        return {0, n};
    default:
        return {0, 0};
    }
}

RequestWindow RequestWindowOf(double framesValue, double directionValue) {
    RequestWindow window;
    window.frames = TruncateToInt32(framesValue);
    window.direction = TruncateToInt32(directionValue);
    window.gathered = WindowOffsetsFor(window.frames, window.direction);
    // Every direction's window holds offset 0 unless it is empty (n < 0).
    const bool gathers = !window.PassesThrough() && window.gathered.first <= window.gathered.last;
    window.read = gathers ? window.gathered : WindowOffsets{0, 0};
    return window;
}

}  // namespace taviron
