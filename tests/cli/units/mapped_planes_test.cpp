// Frames kept in the scratch folder are read through a mapping; rows read
// count as the program's memory until they are let go, so a frame read from
// top to bottom must not stay mapped in whole.
#include "io/caching/mapped_planes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace taviron::cli {
namespace {

// Resident kilobytes of the mapping that starts at `base`, from the
// process's own map.
long ResidentKilobytesAt(const void* base) {
    std::ifstream smaps("/proc/self/smaps");
    bool inMapping = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long from = 0, to = 0;
        char space = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx%c", &from, &to, &space) == 3 && space == ' ')
            inMapping = from == reinterpret_cast<unsigned long>(base);
        else if (inMapping && line.rfind("Rss:", 0) == 0)
            return std::stol(line.substr(4));
    }
    return -1;
}

TEST(MappedPlanes, RowsReadFromTopToBottomAreLetGoBehindTheReading) {
    constexpr int kPlanes = 4;
    constexpr int32_t kHeight = 512;
    constexpr size_t kRowBytes = 8192;
    const size_t bytes = kPlanes * kHeight * kRowBytes;
    char name[] = "/tmp/taviron-mapped-planes-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    unlink(name);
    const std::vector<unsigned char> row(kRowBytes, 7);
    for (size_t done = 0; done < bytes; done += kRowBytes) ASSERT_EQ(write(fd, row.data(), kRowBytes), ssize_t(kRowBytes));
    MappedPlanes planes(fd, bytes, kPlanes, kHeight, kRowBytes);
    close(fd);

    // Every row of every plane read, twice over, as two requests would.
    unsigned sum = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int plane = 0; plane < kPlanes; ++plane)
                for (size_t x = 0; x < kRowBytes; x += 512)
                    sum += planes.Planes()[(static_cast<size_t>(plane) * kHeight + y) * kRowBytes + x];
            planes.RowRead(y);
        }
        const long resident = ResidentKilobytesAt(planes.Planes());
        ASSERT_GE(resident, 0) << "the mapping is not in /proc/self/smaps";
        EXPECT_LT(resident, static_cast<long>(bytes / 1024 / 4)) << "pass " << pass << " of " << bytes / 1024 << " KB";
    }
    EXPECT_EQ(sum, 2u * kPlanes * kHeight * (kRowBytes / 512) * 7);
}

}  // namespace
}  // namespace taviron::cli
