#include "io/caching/mapped_planes.h"

#include "errors.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace taviron::cli {

namespace {

// Rows kept behind the last row read, for the other workers still on the
// rows just before it, and rows let go at once, so that letting go (a system
// call per plane, and every core's address cache flushed) is rare: at 32
// rows it costs a fifth of a 4K window's system time less than at 8, and
// keeps about a megabyte more of each frame.
constexpr int32_t kRowsKeptBehind = 8;
constexpr int32_t kRowsLetGoAtOnce = 32;

size_t PageSize() {
    static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

MappedPlanes::MappedPlanes(int fd, size_t bytes, int planeCount, int32_t height, size_t rowBytes)
    : bytes_(bytes), planeCount_(planeCount), height_(height), rowBytes_(rowBytes) {
    void* mapped = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED)
        throw OutputError(std::string("cannot map a frame kept in the scratch folder: ") + std::strerror(errno));
    base_ = static_cast<unsigned char*>(mapped);
}

MappedPlanes::~MappedPlanes() { munmap(base_, bytes_); }

void MappedPlanes::RowRead(int32_t y) const {
    int32_t from = keptFrom_.load(std::memory_order_relaxed);
    if (y >= from + kRowsKeptBehind + kRowsLetGoAtOnce) {
        // One thread lets each run of rows go.
        const int32_t to = y - kRowsKeptBehind;
        if (keptFrom_.compare_exchange_strong(from, to, std::memory_order_relaxed)) LetGo(from, to);
    } else if (y + kRowsKeptBehind < from) {
        // Reading starts over (the next request): the rows the last pass
        // kept go, and the pass begins here.
        if (keptFrom_.compare_exchange_strong(from, y, std::memory_order_relaxed)) LetGo(from, height_);
    }
}

// Whole pages only: the page that holds row `endRow` may still be read. A
// row read again after this comes back from the file unchanged.
void MappedPlanes::LetGo(int32_t firstRow, int32_t endRow) const {
    const size_t page = PageSize();
    const size_t planeBytes = rowBytes_ * static_cast<size_t>(height_);
    for (int plane = 0; plane < planeCount_; ++plane) {
        const size_t planeStart = static_cast<size_t>(plane) * planeBytes;
        const size_t start = (planeStart + static_cast<size_t>(firstRow) * rowBytes_) / page * page;
        const size_t end = (planeStart + static_cast<size_t>(endRow) * rowBytes_) / page * page;
        if (end > start) madvise(base_ + start, end - start, MADV_DONTNEED);
    }
}

}  // namespace taviron::cli
