#include "io/caching/scratch_folder.h"

#include "errors.h"
#include "io/caching/mapped_planes.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace taviron::cli {

struct ScratchUsage {
    std::atomic<size_t> inUse{0};
    std::atomic<size_t> peak{0};

    void Add(size_t bytes) {
        const size_t now = inUse += bytes;
        size_t peakSoFar = peak.load();
        while (now > peakSoFar && !peak.compare_exchange_weak(peakSoFar, now)) {}
    }
};

namespace {

// Written in small pieces: the page cache keeps a large write in large
// blocks, and reading one page of such a block maps all of it, so that rows
// let go behind the reading come straight back.
constexpr size_t kWriteChunkBytes = size_t{64} << 10;

// Closes the descriptor when it goes; the mapping keeps the file.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// Planes as the host lays them out, the owner's share of the folder (the
// bytes stored) given back when the frame goes.
class CountedPlanes : public MappedPlanes {
public:
    CountedPlanes(std::shared_ptr<ScratchUsage> usage, size_t stored, size_t bytes, int fd, int planeCount,
                  int32_t height, size_t rowBytes)
        : MappedPlanes(fd, bytes, planeCount, height, rowBytes), usage_(std::move(usage)), bytes_(stored) {
        usage_->Add(bytes_);
    }
    ~CountedPlanes() override { usage_->inUse -= bytes_; }

private:
    std::shared_ptr<ScratchUsage> usage_;
    size_t bytes_;
};

std::string ScratchError(const std::string& folder, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return "the scratch folder " + folder + " is full; free some space, choose another with --scratch, or raise --cache-mb";
    return "cannot write to the scratch folder " + folder + ": " + std::strerror(error);
}

// Every row of the image's planes into the file, in the host's layout, and
// after them the extra channels; a uniform plane is left a hole, which the
// copy reads from its shared row instead. The bytes written.
size_t WritePlanes(int fd, const DecodedFrame& frame, const std::string& folder) {
    const Image& image = *frame.image;
    const size_t rowBytes = static_cast<size_t>(image.Width()) * BytesPerSample(image.Type());
    const int planes = image.HasDepth() ? CHANNEL_COUNT : CHAN_ALPHA + 1;
    std::vector<unsigned char> chunk;
    chunk.reserve(std::max(kWriteChunkBytes, rowBytes));
    off_t offset = 0;
    size_t stored = 0;
    const auto flush = [&] {
        for (size_t done = 0; done < chunk.size();) {
            const ssize_t written = pwrite(fd, chunk.data() + done, chunk.size() - done, offset);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) throw OutputError(ScratchError(folder, written < 0 ? errno : ENOSPC));
            done += static_cast<size_t>(written);
            offset += written;
        }
        stored += chunk.size();
        chunk.clear();
    };
    for (int channel = 0; channel < planes; ++channel) {
        if (image.UniformPlane(channel)) {
            flush();
            offset += static_cast<off_t>(rowBytes * static_cast<size_t>(image.Height()));
            continue;
        }
        for (int32_t y = 0; y < image.Height(); ++y) {
            if (chunk.size() + rowBytes > chunk.capacity()) flush();
            const auto* row = static_cast<const unsigned char*>(image.RawRow(channel, y));
            chunk.insert(chunk.end(), row, row + rowBytes);
        }
    }
    const auto* extras = reinterpret_cast<const unsigned char*>(frame.extras.get());
    for (size_t done = 0; done < frame.ExtraBytes();) {
        if (chunk.size() == chunk.capacity()) flush();
        const size_t piece = std::min(chunk.capacity() - chunk.size(), frame.ExtraBytes() - done);
        chunk.insert(chunk.end(), extras + done, extras + done + piece);
        done += piece;
    }
    flush();
    // The file's full length, a uniform last plane's hole included.
    if (ftruncate(fd, offset) != 0) throw OutputError(ScratchError(folder, errno));
    return stored;
}

}  // namespace

ScratchFolder::ScratchFolder(std::string path) : path_(std::move(path)), usage_(std::make_shared<ScratchUsage>()) {
    std::error_code error;
    if (!std::filesystem::is_directory(path_, error))
        throw UsageError("the scratch folder " + path_ + " is not a folder (--scratch)");
}

size_t ScratchFolder::PeakBytes() const { return usage_->peak.load(); }

size_t ScratchFolder::FreeBytes() const {
    struct statvfs status {};
    if (statvfs(path_.c_str(), &status) != 0) return 0;
    return static_cast<size_t>(status.f_bavail) * static_cast<size_t>(status.f_frsize);
}

// A file without a name where the system makes one; elsewhere a named one,
// unlinked at once.
int ScratchFolder::CreateFile() const {
    int fd = open(path_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) throw OutputError(ScratchError(path_, errno));
    std::string name = (std::filesystem::path(path_) / ".taviron-scratch-XXXXXX").string();
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw OutputError(ScratchError(path_, errno));
    unlink(name.c_str());
    return fd;
}

std::shared_ptr<const DecodedFrame> ScratchFolder::Keep(const DecodedFrame& frame) {
    const Image& image = *frame.image;
    const size_t bytes = frame.Bytes();
    const Descriptor file(CreateFile());
    const size_t stored = WritePlanes(file.Get(), frame, path_);
    auto planes = std::make_unique<CountedPlanes>(usage_, stored, bytes, file.Get(),
                                                  image.HasDepth() ? CHANNEL_COUNT : CHAN_ALPHA + 1, image.Height(),
                                                  static_cast<size_t>(image.Width()) * BytesPerSample(image.Type()));
    const unsigned char* extras = planes->Planes() + image.PixelBytes();
    auto kept = std::make_shared<DecodedFrame>();
    kept->image = taviron::HostRef<Image>(
        new Image(image.Width(), image.Height(), image.Type(), image.HasDepth(), std::move(planes)));
    kept->image->ShareUniformPlanes(image);
    kept->format = frame.format;
    // The extra channels lie in the same file, after the planes; the image
    // keeps the mapping.
    if (frame.extras)
        kept->extras = std::shared_ptr<const float>(std::make_shared<taviron::HostRef<Image>>(kept->image),
                                                    reinterpret_cast<const float*>(extras));
    ++framesKept_;
    return kept;
}

std::string SizeText(double bytes) {
    char text[32];
    if (bytes >= 1e9) std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
    else std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
    return text;
}

}  // namespace taviron::cli
