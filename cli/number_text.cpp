#include "number_text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace taviron::cli {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Moves `at` past a run of digits; whether there was one.
bool SkipDigits(const std::string& text, size_t& at) {
    const size_t start = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at > start;
}

void SkipSign(const std::string& text, size_t& at) {
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
}

}  // namespace

std::string NumberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::optional<double> ReadDecimalNumber(const std::string& text) {
    size_t at = 0;
    SkipSign(text, at);
    bool digits = SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits = SkipDigits(text, at) || digits;
    }
    if (!digits) return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        SkipSign(text, at);
        if (!SkipDigits(text, at)) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(value)) return std::nullopt;
    return value;
}

bool IsWholeNumberText(const std::string& text) {
    size_t at = 0;
    SkipSign(text, at);
    return SkipDigits(text, at) && at == text.size();
}

}  // namespace taviron::cli
