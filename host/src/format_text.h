// The host library's messages: a text with "{}" where each value goes, in
// order. Numbers are written in the classic locale, whatever locale the
// program that loaded the library has made global, so a message reads the
// same in every host.
#pragma once

#include <cstring>
#include <locale>
#include <sstream>
#include <string>

inline void AppendFormatted(std::ostringstream& out, const char* format) { out << format; }

template <typename Value, typename... Rest>
void AppendFormatted(std::ostringstream& out, const char* format, const Value& value, const Rest&... rest) {
    const char* slot = std::strstr(format, "{}");
    if (slot == nullptr) {
        out << format;
        return;
    }
    out.write(format, slot - format);
    out << value;
    AppendFormatted(out, slot + 2, rest...);
}

template <typename... Values>
std::string FormatText(const char* format, const Values&... values) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    AppendFormatted(out, format, values...);
    return out.str();
}
