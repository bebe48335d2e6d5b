// In-memory sources for the soak: a clip of noise frames with holes, a mask
// clip, and a track point that moves with time.
#pragma once

#include <hostsdk/image.h>
#include <hostsdk/link.h>

#include <cstdint>
#include <vector>

// Frames 0 .. count - 1, made once; whole frame times only. Frames marked
// missing, and every time outside the clip, give none.
class ClipSource : public Source {
public:
    ClipSource(int32_t width, int32_t height, int count, uint32_t seed, float alphaFloor);
    ~ClipSource() override;
    ClipSource(const ClipSource&) = delete;
    ClipSource& operator=(const ClipSource&) = delete;

    void SetMissing(int frame, bool missing) { missing_[frame] = missing; }
    bool Has(double time) const;
    Parameter* Fetch(double time) override;

private:
    std::vector<Image*> frames_;
    std::vector<bool> missing_;
};

// A point circling the frame centre, a new position for every time.
class CirclingPoint : public Source {
public:
    Parameter* Fetch(double time) override;
};
