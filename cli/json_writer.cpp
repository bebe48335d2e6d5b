#include "json_writer.h"

#include <cmath>
#include <cstdio>

void JsonWriter::Indent() { out_ << '\n' << std::string(hasMembers_.size() * 2, ' '); }

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (hasMembers_.empty()) return;
    if (hasMembers_.back()) out_ << ',';
    hasMembers_.back() = true;
    Indent();
}

void JsonWriter::BeginObject() {
    BeforeValue();
    out_ << '{';
    hasMembers_.push_back(false);
}

void JsonWriter::EndObject() {
    const bool any = hasMembers_.back();
    hasMembers_.pop_back();
    if (any) Indent();
    out_ << '}';
    if (hasMembers_.empty()) out_ << '\n';
}

void JsonWriter::BeginArray() {
    BeforeValue();
    out_ << '[';
    hasMembers_.push_back(false);
}

void JsonWriter::EndArray() {
    const bool any = hasMembers_.back();
    hasMembers_.pop_back();
    if (any) Indent();
    out_ << ']';
}

void JsonWriter::Key(const std::string& name) {
    BeforeValue();
    WriteEscaped(name);
    out_ << ": ";
    afterKey_ = true;
}

void JsonWriter::String(const std::string& value) {
    BeforeValue();
    WriteEscaped(value);
}

void JsonWriter::WriteEscaped(const std::string& value) {
    out_ << '"';
    for (unsigned char c : value) {
        switch (c) {
        case '"': out_ << "\\\""; break;
        case '\\': out_ << "\\\\"; break;
        case '\n': out_ << "\\n"; break;
        case '\r': out_ << "\\r"; break;
        case '\t': out_ << "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ << escaped;
            } else {
                out_ << static_cast<char>(c);
            }
        }
    }
    out_ << '"';
}

void JsonWriter::Number(double value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        out_ << "null";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    out_ << text;
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ << (value ? "true" : "false");
}
