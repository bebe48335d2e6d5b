// Where decoded frames go when the window of frames does not fit in the
// memory budget: each frame written once into a file of its own in the
// scratch folder (but for its uniform planes, such as a filled alpha, which
// its copy keeps in a row each) and read back through a read-only mapping.
// Every file is nameless (or unlinked the moment it is made), so it leaves
// nothing behind however the program ends, a kill included: the system frees
// it when its last mapping goes.
#pragma once

#include "io/reading/decoded_frame.h"

#include <atomic>
#include <memory>
#include <string>

namespace taviron::cli {

struct ScratchUsage;

class ScratchFolder {
public:
    // Throws a usage error when `path` is not a folder.
    explicit ScratchFolder(std::string path);

    const std::string& Path() const { return path_; }
    // Bytes free for this program in the folder.
    size_t FreeBytes() const;
    // The frame with its planes and extra channels in a scratch file: the
    // same samples, none of them in the program's memory. Throws an output
    // error naming the folder when it cannot be written (a full disk).
    std::shared_ptr<const DecodedFrame> Keep(const DecodedFrame& frame);

    size_t FramesKept() const { return framesKept_.load(); }
    // The most bytes held in the folder at once.
    size_t PeakBytes() const;

private:
    int CreateFile() const;

    std::string path_;
    std::atomic<size_t> framesKept_{0};
    // Shared with the frames, which give their bytes back when they go.
    std::shared_ptr<ScratchUsage> usage_;
};

// "12.3 GB", "850 MB".
std::string SizeText(double bytes);

}  // namespace taviron::cli
