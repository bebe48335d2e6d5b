#include "io/writing/output_encoding.h"

#include "errors.h"
#include "number_text.h"

#include <CLI/CLI.hpp>
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

// An option given "" is refused as any other value out of its range would be,
// instead of counting as not given.
CLI::Validator NotEmpty(const std::string& range) {
    return CLI::Validator(
        [range](const std::string& text) { return text.empty() ? "takes " + range + ", not \"\"" : std::string(); },
        "");
}

int InRange(const char* option, int value, int lowest, int highest) {
    if (value < lowest || value > highest)
        throw UsageError(OIIO::Strutil::fmt::format("{} takes {} to {}, not {}", option, lowest, highest, value));
    return value;
}

void RequireFormat(const std::string& option, const std::string& wanted, const std::string& formatName,
                   const std::string& outputPath) {
    if (formatName != wanted)
        throw UsageError(option + " applies to " + wanted + " outputs, not " + outputPath + " (" + formatName + ")");
}

}  // namespace

void CheckEncoding(const OutputEncoding& encoding, const std::string& outputPath, const std::string& formatName) {
    if (!encoding.exrCompression.empty()) RequireFormat("--exr-compression", "openexr", formatName, outputPath);
    if (encoding.jpegQuality) RequireFormat("--jpeg-quality", "jpeg", formatName, outputPath);
    if (encoding.pngLevel) RequireFormat("--png-level", "png", formatName, outputPath);
}

void AddEncodingOptions(CLI::App& command, OutputEncoding& encoding) {
    command
        .add_option_function<std::string>(
            "--exr-compression",
            [&encoding](const std::string& text) {
                CheckExrCompression(text);
                encoding.exrCompression = text;
            },
            "OpenEXR compression: none, rle, zip, zips, piz, pxr24, b44, b44a, dwaa, dwab; zip and zips take a level 1 "
            "to 9 (zip:9), dwaa and dwab a whole level from 1 (dwaa:45)")
        ->type_name("NAME")
        ->check(NotEmpty("a compression name"))
        ->default_str("the image library's (zip)");
    command
        .add_option_function<int>(
            "--jpeg-quality", [&encoding](int quality) { encoding.jpegQuality = InRange("--jpeg-quality", quality, 1, 100); },
            "JPEG quality, 1 to 100")
        ->check(NotEmpty("1 to 100"))
        ->check(kWholeNumberCheck)
        ->default_str("the image library's (98)");
    command
        .add_option_function<int>(
            "--png-level", [&encoding](int level) { encoding.pngLevel = InRange("--png-level", level, 0, 9); },
            "PNG compression level, 0 to 9")
        ->check(NotEmpty("0 to 9"))
        ->check(kWholeNumberCheck)
        ->default_str("1");
}

void ApplyEncoding(const OutputEncoding& encoding, OIIO::ImageSpec& spec) {
    if (!encoding.exrCompression.empty()) spec.attribute("compression", encoding.exrCompression);
    if (encoding.jpegQuality) spec.attribute("compression", "jpeg:" + std::to_string(*encoding.jpegQuality));
    if (encoding.pngLevel) spec.attribute("png:compressionLevel", *encoding.pngLevel);
}

}  // namespace taviron::cli
