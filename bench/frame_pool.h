// The frames the benchmarks filter: 1920x1080 float RGBA noise. A window
// wider than the pool reuses its frames, frame t + k being pool frame k
// modulo the pool's size, so that 501-frame windows fit in memory; the kernel
// reads each window position as a frame of its own and cannot tell.
#pragma once

#include <hostsdk/image.h>
#include <hostsdk/link.h>

#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr double kTime = 10.0;
// Distinct frames at most; windows up to this wide read distinct frames.
constexpr int kPoolFrames = 25;

// The pool frame at window offset `offset` from kTime; made on first use.
const Image& PoolFrame(int64_t offset);

// The images of a window of `frames` centred on kTime, earliest first.
std::vector<const Image*> WindowFrames(int frames);

// The clip the tool's input reads: the pool frame of every whole frame time.
class PoolClip : public Source {
public:
    Parameter* Fetch(double time) override;
};

}  // namespace bench
