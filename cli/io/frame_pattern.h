// A file name pattern for an image sequence: `plate.####.exr` (one # per
// digit) or `plate.%04d.exr`, or the name of a single file that stands for
// every frame. `\#` stands for a '#' of the name itself (`take\#2.####.exr`).
#pragma once

#include <string>
#include <vector>

namespace taviron::cli {

// Frame numbers go from -kLargestFrameNumber to kLargestFrameNumber, whether
// given (--range) or found on disk: nine digits, far beyond any shot, and a
// window around any of them stays within an int.
constexpr int kLargestFrameNumber = 999999999;

class FramePattern {
public:
    // Throws a usage error for an empty pattern.
    explicit FramePattern(std::string text);

    // As given, for messages.
    const std::string& Text() const { return text_; }
    bool IsSequence() const { return sequence_; }
    // The file of `frame`; for a single file, that file.
    std::string PathOf(int frame) const;
    // Frame numbers of the sequence's files on disk, ascending; {1} for a
    // single file that exists.
    std::vector<int> FramesOnDisk() const;
    // A file on disk that would be a frame but for its padding (plate.0001.exr
    // for plate.%d.exr), and the digits of its number; an empty path when
    // there is none. A hint for a sequence without frames.
    struct OtherPadding {
        std::string path;
        size_t digits = 0;
    };
    OtherPadding FileWithOtherPadding() const;

private:
    // Every name in the sequence's folder of the form prefix, number, suffix,
    // with the number, padded as it may be.
    std::vector<std::pair<std::string, long long>> NumberedNames() const;

    std::string text_;
    bool sequence_ = false;
    std::string path_;  // a single file's name, unescaped
    std::string prefix_;
    std::string suffix_;
    int padding_ = 0;
};

}  // namespace taviron::cli
