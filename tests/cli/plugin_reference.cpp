#include "plugin_reference.h"

#include <contract/tool_ids.h>
#include <hostsdk/request.h>

#include <cmath>

namespace {

namespace link_id = taviron::link_id;

class MapSource : public Source {
public:
    explicit MapSource(std::map<int, Parameter*> values) : values_(std::move(values)) {}
    ~MapSource() override {
        for (auto& [frame, value] : values_) value->Recycle();
    }
    Parameter* Fetch(double time) override {
        const auto found = values_.find(static_cast<int>(std::floor(time)));
        if (found == values_.end() || std::floor(time) != time) return nullptr;
        found->second->Use();
        return found->second;
    }

private:
    std::map<int, Parameter*> values_;
};

int Index(const Picture& picture, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (picture.ChannelIndex(name) >= 0) return picture.ChannelIndex(name);
    return -1;
}

// The file's samples in a host image of the file's own pixel type; a mask
// without alpha takes it from its first channel.
Image* HostImageOf(const std::string& path, bool mask) {
    const Picture picture = ReadPicture(path);
    const OIIO::TypeDesc stored = StoredType(path);
    const PixelType type = stored == OIIO::TypeDesc::UINT8    ? PixelType::UInt8
                           : stored == OIIO::TypeDesc::UINT16 ? PixelType::UInt16
                           : stored == OIIO::TypeDesc::HALF   ? PixelType::Half
                                                              : PixelType::Float;
    const int r = Index(picture, {"R", "Y"});
    const int g = Index(picture, {"G", "Y"});
    const int b = Index(picture, {"B", "Y"});
    const int a = Index(picture, {"A"});
    const int z = Index(picture, {"Z"});
    auto* image = new Image(picture.width, picture.height, type, z >= 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            FltPixel pixel;
            pixel.R = r >= 0 ? picture.At(x, y, r) : 0.0f;
            pixel.G = g >= 0 ? picture.At(x, y, g) : 0.0f;
            pixel.B = b >= 0 ? picture.At(x, y, b) : 0.0f;
            pixel.A = a >= 0 ? picture.At(x, y, a) : (mask ? pixel.R : 1.0f);
            pixel.Z = z >= 0 ? picture.At(x, y, z) : 0.0f;
            image->SetPixel(x, y, pixel);
        }
    }
    return image;
}

Picture PictureOf(const Image& image) {
    Picture picture{image.Width(), image.Height(), {"R", "G", "B", "A", "Z"}, {}};
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            FltPixel pixel;
            image.GetPixel(x, y, pixel);
            picture.samples.insert(picture.samples.end(), {pixel.R, pixel.G, pixel.B, pixel.A, pixel.Z});
        }
    }
    return picture;
}

}  // namespace

Picture PluginReference::Render(const ReferenceRender& render, int frame) {
    Operator* tool = CreateTool();
    std::map<int, Parameter*> frames;
    for (const auto& [number, path] : render.frameFiles) frames[number] = HostImageOf(path, false);
    InputOf(tool, link_id::kInput)->Connect(std::make_shared<MapSource>(frames));
    if (!render.maskFile.empty()) {
        std::map<int, Parameter*> masks{{frame, HostImageOf(render.maskFile, true)}};
        InputOf(tool, link_id::kMask)->Connect(std::make_shared<MapSource>(masks));
    }
    if (!render.track.empty()) {
        std::map<int, Parameter*> points;
        for (const auto& [number, point] : render.track) points[number] = new Point(point.first, point.second);
        InputOf(tool, link_id::kTrackData)->Connect(std::make_shared<MapSource>(points));
    }
    for (const auto& [id, value] : render.controls) tool->SetInputValue(InputOf(tool, id.c_str()), value, 0.0);

    Request request(tool, frame);
    tool->Process(&request);
    Parameter* output = request.TakeOutputData(OutputOf(tool, "Output"));
    auto* image = dynamic_cast<Image*>(output);
    if (!image) throw std::runtime_error("the plug-in gave no image");
    Picture picture = PictureOf(*image);
    image->Recycle();
    return picture;
}
