#include "io/writing/output_encoding.h"

#include "errors.h"

#include <OpenImageIO/strutil.h>

#include <algorithm>
#include <regex>

namespace taviron::cli {

namespace {

// The compressions OpenEXR files take, by the image library's names; the
// deflating and DWA ones take a level after a colon.
const char* const kExrCompressions[] = {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"};

// What follows the colon, in whole numbers as the image library reads it:
// zip and zips take zlib's levels 1 to 9, dwaa and dwab a quantisation level
// of 1 or more (45 by default). The library writes any other level silently
// at its default.
std::string LevelRangeOf(const std::string& name) {
    if (name == "zip" || name == "zips") return "1 to 9";
    if (name == "dwaa" || name == "dwab") return "1 to 999999999";
    return {};
}

bool LevelFits(const std::string& name, const std::string& level) {
    static const std::regex whole("[0-9]{1,9}");
    if (!std::regex_match(level, whole) || std::stoi(level) < 1) return false;
    return (name != "zip" && name != "zips") || std::stoi(level) <= 9;
}

std::string CompressionNames() {
    std::string names;
    for (const char* each : kExrCompressions) names += (names.empty() ? "" : ", ") + std::string(each);
    return names;
}

void CheckExrCompression(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const bool known = std::find(std::begin(kExrCompressions), std::end(kExrCompressions), name) !=
                       std::end(kExrCompressions);
    if (!known)
        throw UsageError("--exr-compression takes " + CompressionNames() + ", not \"" + text + "\"");
    if (colon == std::string::npos) return;
    const std::string range = LevelRangeOf(name);
    if (range.empty()) throw UsageError("--exr-compression " + name + " takes no level, not \"" + text + "\"");
    if (!LevelFits(name, text.substr(colon + 1)))
        throw UsageError("--exr-compression " + name + " takes a level " + range + ", not \"" + text + "\"");
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
            throw UsageError(OIIO::Strutil::fmt::format("--jpeg-quality takes 1 to 100, not {}", *encoding.jpegQuality));
    }
    if (encoding.pngLevel) {
        RequireFormat("--png-level", "png", formatName, outputPath);
        if (*encoding.pngLevel < 0 || *encoding.pngLevel > 9)
            throw UsageError(OIIO::Strutil::fmt::format("--png-level takes 0 to 9, not {}", *encoding.pngLevel));
    }
}

void ApplyEncoding(const OutputEncoding& encoding, OIIO::ImageSpec& spec) {
    if (!encoding.exrCompression.empty()) spec.attribute("compression", encoding.exrCompression);
    if (encoding.jpegQuality) spec.attribute("compression", "jpeg:" + std::to_string(*encoding.jpegQuality));
    if (encoding.pngLevel) spec.attribute("png:compressionLevel", *encoding.pngLevel);
}

}  // namespace taviron::cli
