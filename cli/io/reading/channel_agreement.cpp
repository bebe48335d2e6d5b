#include "io/reading/channel_agreement.h"

#include "errors.h"

namespace taviron::cli {

namespace {

std::string Listed(const std::vector<std::string>& channels) {
    std::string text;
    for (const std::string& channel : channels) text += (text.empty() ? "" : ", ") + channel;
    return text;
}

}  // namespace

void ChannelAgreement::Check(const std::string& path, const DecodedFrame& frame) {
    const std::vector<std::string>& channels = frame.format->spec.channelnames;
    std::lock_guard<std::mutex> lock(mutex_);
    if (firstPath_.empty()) {
        firstPath_ = path;
        firstChannels_ = channels;
        return;
    }
    if (channels != firstChannels_)
        throw InputError(path + " has the channels " + Listed(channels) + " but " + firstPath_ + " has " +
                         Listed(firstChannels_) + "; every frame of a sequence needs the same channels");
}

}  // namespace taviron::cli
