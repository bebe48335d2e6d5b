// Numbers in messages as a person writes them: 250, 0.1, 1e+09, never
// 250.000000; and numbers as a person may write them on the command line,
// read by one grammar for every option.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class Validator;
}  // namespace CLI

namespace taviron::cli {

// The shortest text that reads back as `value`.
std::string NumberText(double value);

// `text` as a decimal number: an optional sign, digits with an optional
// fraction (1, -2.5, .5, 3.) and an optional exponent (1e3); nothing around
// it. Hexadecimal, "inf", "nan", spaces and numbers beyond a double are not
// numbers.
std::optional<double> ReadDecimalNumber(const std::string& text);

// Whether `text` is a whole number in the same grammar: an optional sign and
// digits only.
bool IsWholeNumberText(const std::string& text);

// Checks of an option's text in this grammar, for CLI11, refusing it in words
// that name what the option takes: a decimal number, a whole number, a size
// in megabytes (0 or more). CLI11 alone would also read "nan", "inf", " 3"
// and hexadecimal.
extern const CLI::Validator kDecimalNumberCheck;
extern const CLI::Validator kWholeNumberCheck;
extern const CLI::Validator kMegabytesCheck;

}  // namespace taviron::cli
