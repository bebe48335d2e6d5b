// The options of `taviron render` as given on the command line; an empty
// text is an option not given.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
    std::string input;
    std::string output;
    std::string mask;
    std::string track;
    std::string range;
    std::string frames;
    std::string direction;
    std::string method;
    std::string threshold;
    std::string channels;
    std::string threads;
    std::string depth;
    std::string cacheMegabytes;
    std::vector<std::string> settings;  // ID=VALUE
    bool quiet = false;
};
