// A frame's planes in a scratch file, mapped read-only. Reading a frame row
// by row touches its pages, and touched pages of a mapping count as the
// program's own memory until they are let go; so rows well behind the last
// row read are let go as the reading moves on (the kernel reads them again
// from the file should anyone come back to them).
#pragma once

#include <hostsdk/image.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace taviron::cli {

class MappedPlanes : public ExternalPixels {
public:
    // Maps `bytes` of the file `fd` (which the caller may close afterwards):
    // `planeCount` planes of `rowBytes` * `height` bytes. Throws an output
    // error when it cannot be mapped.
    MappedPlanes(int fd, size_t bytes, int planeCount, int32_t height, size_t rowBytes);
    ~MappedPlanes() override;
    MappedPlanes(const MappedPlanes&) = delete;
    MappedPlanes& operator=(const MappedPlanes&) = delete;

    const unsigned char* Planes() const override { return base_; }
    void RowRead(int32_t y) const override;

private:
    void LetGo(int32_t firstRow, int32_t endRow) const;

    unsigned char* base_ = nullptr;
    size_t bytes_;
    int planeCount_;
    int32_t height_;
    size_t rowBytes_;
    // Rows before it have been let go.
    mutable std::atomic<int32_t> keptFrom_{0};
};

}  // namespace taviron::cli
