// Small helpers the fuzzers share: stopping on a broken property, and
// splitting an input into lines of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A broken property is a crash to the fuzzer, with the input kept.
inline void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The input's lines, without their '\n'.
inline std::vector<std::string> Lines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back().push_back(static_cast<char>(data[i]));
        }
    }
    return lines;
}
