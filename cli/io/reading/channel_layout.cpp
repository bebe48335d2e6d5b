#include "io/reading/channel_layout.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace taviron::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool IsDepthName(const std::string& name) {
    const std::string lower = Lower(name);
    const size_t dot = lower.rfind('.');
    const std::string last = dot == std::string::npos ? lower : lower.substr(dot + 1);
    return lower == "depth" || last == "z";
}

int NamedPlane(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower == "r" || lower == "red") return CHAN_RED;
    if (lower == "g" || lower == "green") return CHAN_GREEN;
    if (lower == "b" || lower == "blue") return CHAN_BLUE;
    if (lower == "a" || lower == "alpha") return CHAN_ALPHA;
    return ChannelLayout::kExtra;
}

bool IsGrayName(const std::string& name) {
    const std::string lower = Lower(name);
    return lower == "y" || lower == "l" || lower == "gray" || lower == "grey" || lower == "luminance";
}

bool Taken(const std::vector<int>& plane, int hostChannel) {
    return std::find(plane.begin(), plane.end(), hostChannel) != plane.end();
}

// Files whose colour channels carry no usable names: the first one is grey
// (with a second one as alpha) or the first three are red, green and blue
// (with a fourth as alpha).
void MapByPosition(ChannelLayout& layout) {
    std::vector<size_t> unnamed;
    for (size_t i = 0; i < layout.plane.size(); ++i)
        if (layout.plane[i] == ChannelLayout::kExtra) unnamed.push_back(i);
    const bool alphaFree = !Taken(layout.plane, CHAN_ALPHA);
    if (unnamed.empty()) return;
    if (unnamed.size() < 3) {
        layout.gray = true;
        layout.plane[unnamed[0]] = CHAN_RED;
        if (unnamed.size() == 2 && alphaFree) layout.plane[unnamed[1]] = CHAN_ALPHA;
        return;
    }
    layout.plane[unnamed[0]] = CHAN_RED;
    layout.plane[unnamed[1]] = CHAN_GREEN;
    layout.plane[unnamed[2]] = CHAN_BLUE;
    if (unnamed.size() > 3 && alphaFree) layout.plane[unnamed[3]] = CHAN_ALPHA;
}

}  // namespace

int ChannelLayout::ExtraCount() const { return static_cast<int>(std::count(plane.begin(), plane.end(), kExtra)); }

bool ChannelLayout::FillsPlane(int hostChannel) const {
    if (gray && (hostChannel == CHAN_GREEN || hostChannel == CHAN_BLUE)) return Taken(plane, CHAN_RED);
    return Taken(plane, hostChannel);
}

ChannelLayout LayoutOf(const OIIO::ImageSpec& spec) {
    ChannelLayout layout;
    layout.plane.assign(static_cast<size_t>(spec.nchannels), ChannelLayout::kExtra);
    int grayChannel = -1;
    for (int i = 0; i < spec.nchannels; ++i) {
        const std::string name = i < static_cast<int>(spec.channelnames.size()) ? spec.channelnames[i] : std::string();
        int plane = NamedPlane(name);
        if (plane == ChannelLayout::kExtra && i == spec.alpha_channel) plane = CHAN_ALPHA;
        if (plane == ChannelLayout::kExtra && (IsDepthName(name) || i == spec.z_channel)) plane = CHAN_DEPTH;
        if (plane != ChannelLayout::kExtra && !Taken(layout.plane, plane)) layout.plane[i] = plane;
        else if (grayChannel < 0 && IsGrayName(name)) grayChannel = i;
    }
    const bool colourNamed =
        Taken(layout.plane, CHAN_RED) || Taken(layout.plane, CHAN_GREEN) || Taken(layout.plane, CHAN_BLUE);
    if (!colourNamed && grayChannel >= 0) {
        layout.gray = true;
        layout.plane[grayChannel] = CHAN_RED;
    } else if (!colourNamed) {
        // Unnamed channels other than a recognised alpha or depth.
        ChannelLayout positional = layout;
        MapByPosition(positional);
        layout = positional;
    }
    layout.hasAlpha = Taken(layout.plane, CHAN_ALPHA);
    layout.hasDepth = Taken(layout.plane, CHAN_DEPTH);
    return layout;
}

PixelType PixelTypeFor(const OIIO::ImageSpec& spec, const ChannelLayout& layout) {
    auto rank = [](OIIO::TypeDesc type) {
        switch (type.basetype) {
        case OIIO::TypeDesc::UINT8: return 0;
        case OIIO::TypeDesc::UINT16: return 1;
        case OIIO::TypeDesc::HALF: return 2;
        default: return 3;
        }
    };
    int widest = rank(spec.format);
    if (!spec.channelformats.empty()) {
        widest = 0;
        for (size_t i = 0; i < layout.plane.size() && i < spec.channelformats.size(); ++i)
            if (layout.plane[i] != ChannelLayout::kExtra) widest = std::max(widest, rank(spec.channelformats[i]));
    }
    static const PixelType byRank[] = {PixelType::UInt8, PixelType::UInt16, PixelType::Half, PixelType::Float};
    return byRank[widest];
}

OIIO::TypeDesc TypeDescOf(PixelType type) {
    switch (type) {
    case PixelType::UInt8: return OIIO::TypeDesc::UINT8;
    case PixelType::UInt16: return OIIO::TypeDesc::UINT16;
    case PixelType::Half: return OIIO::TypeDesc::HALF;
    case PixelType::Float: break;
    }
    return OIIO::TypeDesc::FLOAT;
}

}  // namespace taviron::cli
