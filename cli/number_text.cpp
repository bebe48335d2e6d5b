#include "number_text.h"

#include <charconv>

namespace taviron::cli {

std::string NumberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

}  // namespace taviron::cli
