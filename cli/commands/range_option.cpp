#include "commands/range_option.h"

#include "frame_ranges.h"

#include <CLI/CLI.hpp>

namespace taviron::cli {

void AddRangeOption(CLI::App& command, std::vector<int>& frames, const std::string& what) {
    command
        .add_option_function<std::string>(
            "--range", [&frames](const std::string& text) { frames = text.empty() ? std::vector<int>{} : ParseRange(text); },
            what)
        ->type_name("FIRST-LAST")
        ->default_str("every input frame on disk");
}

}  // namespace taviron::cli
