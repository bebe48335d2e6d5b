// The pixel types an output may be asked for with --depth, by the option's
// words: one table for the option, its refusals and the checks of a format.
#pragma once

#include <OpenImageIO/typedesc.h>

#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

// Declares --depth, read into `depth` as it is parsed; `depth` stays UNKNOWN,
// meaning the input's type, when it is not given.
void AddDepthOption(CLI::App& command, OIIO::TypeDesc& depth);

// 8, 16, half, float.
const std::vector<std::string>& DepthWords();

// The type of one of DepthWords(), whatever its case; throws a usage error
// for any other word.
OIIO::TypeDesc DepthNamed(const std::string& word);

// The word of a type DepthNamed gives.
std::string DepthWord(OIIO::TypeDesc type);

// "8-bit", "16-bit", "half", "float", or the image library's name of another
// type, as messages name samples.
std::string SamplesName(OIIO::TypeDesc type);

}  // namespace taviron::cli
