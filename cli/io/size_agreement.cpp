#include "io/size_agreement.h"

#include "errors.h"

namespace taviron::cli {

namespace {

std::string SizeText(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

void SizeAgreement::Check(const std::string& path, const DecodedFrame& frame) {
    const int32_t width = frame.image->Width();
    const int32_t height = frame.image->Height();
    std::lock_guard<std::mutex> lock(mutex_);
    if (firstPath_.empty()) {
        firstPath_ = path;
        width_ = width;
        height_ = height;
        return;
    }
    if (width != width_ || height != height_)
        throw InputError(path + " is " + SizeText(width, height) + " but " + firstPath_ + " is " +
                         SizeText(width_, height_) + "; every frame of a sequence needs the same size");
}

}  // namespace taviron::cli
