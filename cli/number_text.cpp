#include "number_text.h"

#include <CLI/CLI.hpp>
#include <OpenImageIO/strutil.h>

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

const CLI::Validator kDecimalNumberCheck(
    [](const std::string& text) {
        return ReadDecimalNumber(text) ? std::string()
                                       : OIIO::Strutil::fmt::format("takes a decimal number such as 3, -0.5 or 1e-3, not \"{}\"", text);
    },
    "");

const CLI::Validator kWholeNumberCheck(
    [](const std::string& text) {
        return IsWholeNumberText(text) ? std::string() : OIIO::Strutil::fmt::format("takes a whole number, not \"{}\"", text);
    },
    "");

const CLI::Validator kMegabytesCheck(
    [](const std::string& text) {
        const std::optional<double> value = ReadDecimalNumber(text);
        return value && *value >= 0 ? std::string()
                                    : OIIO::Strutil::fmt::format("takes a size in megabytes, 0 or more, such as 512 or 1.5 (a point, "
                                                                 "not a comma, before decimals), not \"{}\"",
                                                                 text);
    },
    "");

}  // namespace taviron::cli
