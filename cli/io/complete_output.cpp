#include "io/complete_output.h"

#include <OpenImageIO/imageio.h>

#include <filesystem>

namespace taviron::cli {

bool CompleteOutputExists(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0) return false;
    auto file = OIIO::ImageInput::open(path);
    if (!file) OIIO::geterror();
    return file != nullptr;
}

}  // namespace taviron::cli
