#include "io/output_encoding.h"

#include "errors.h"

#include <algorithm>
#include <cctype>

namespace taviron::cli {

namespace {

// The compressions OpenEXR files take, by the image library's names; the
// deflating and DWA ones take a level after a colon.
const char* const kExrCompressions[] = {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"};

bool TakesLevel(const std::string& name) { return name == "zip" || name == "zips" || name == "dwaa" || name == "dwab"; }

void CheckExrCompression(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const bool known = std::find(std::begin(kExrCompressions), std::end(kExrCompressions), name) !=
                       std::end(kExrCompressions);
    std::string level = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    const bool levelFits = colon == std::string::npos ||
                           (TakesLevel(name) && !level.empty() && level.size() <= 4 &&
                            std::all_of(level.begin(), level.end(), [](unsigned char c) { return std::isdigit(c); }));
    if (known && levelFits) return;
    std::string names;
    for (const char* each : kExrCompressions) names += (names.empty() ? "" : ", ") + std::string(each);
    throw UsageError("--exr-compression takes " + names + " (zip, zips, dwaa and dwab with an optional :LEVEL), not \"" +
                     text + "\"");
}

void RequireFormat(const std::string& option, const std::string& wanted, const std::string& formatName,
                   const std::string& outputPath) {
    if (formatName != wanted)
        throw UsageError(option + " applies to " + wanted + " outputs, not " + outputPath + " (" + formatName + ")");
}

}  // namespace

void CheckEncoding(const OutputEncoding& encoding, const std::string& outputPath, const std::string& formatName) {
    if (!encoding.exrCompression.empty()) {
        RequireFormat("--exr-compression", "openexr", formatName, outputPath);
        CheckExrCompression(encoding.exrCompression);
    }
    if (encoding.jpegQuality) {
        RequireFormat("--jpeg-quality", "jpeg", formatName, outputPath);
        if (*encoding.jpegQuality < 1 || *encoding.jpegQuality > 100)
            throw UsageError("--jpeg-quality takes 1 to 100, not " + std::to_string(*encoding.jpegQuality));
    }
    if (encoding.pngLevel) {
        RequireFormat("--png-level", "png", formatName, outputPath);
        if (*encoding.pngLevel < 0 || *encoding.pngLevel > 9)
            throw UsageError("--png-level takes 0 to 9, not " + std::to_string(*encoding.pngLevel));
    }
}

void ApplyEncoding(const OutputEncoding& encoding, OIIO::ImageSpec& spec) {
    if (!encoding.exrCompression.empty()) spec.attribute("compression", encoding.exrCompression);
    if (encoding.jpegQuality) spec.attribute("compression", "jpeg:" + std::to_string(*encoding.jpegQuality));
    if (encoding.pngLevel) spec.attribute("png:compressionLevel", *encoding.pngLevel);
}

}  // namespace taviron::cli
