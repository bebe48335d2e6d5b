// How output files are compressed, as pipelines set it: OpenEXR compression
// by the image library's names, JPEG quality, PNG compression level. Each is
// checked when the command line is parsed, and against the output's format
// before any frame is decoded.
#pragma once

#include <OpenImageIO/imageio.h>

#include <optional>
#include <string>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

struct OutputEncoding {
    std::string exrCompression;      // e.g. zip, piz, zip:9 or dwaa:45; empty: the library's default
    std::optional<int> jpegQuality;  // 1 to 100; empty: the library's default, 98
    std::optional<int> pngLevel;     // 0 to 9
};

// Declares --exr-compression, --jpeg-quality and --png-level, read into
// `encoding`; a value that no format takes is refused as it is parsed.
void AddEncodingOptions(CLI::App& command, OutputEncoding& encoding);

// Throws a usage error for an option that the format of `outputPath`
// (e.g. out.####.exr) does not have.
void CheckEncoding(const OutputEncoding& encoding, const std::string& outputPath, const std::string& formatName);
void ApplyEncoding(const OutputEncoding& encoding, OIIO::ImageSpec& spec);

}  // namespace taviron::cli
