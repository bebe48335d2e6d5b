// HostID: the host's identifier for inputs, data types, kinds of control and
// classes. Texts are interned host-wide, so an identifier is one pointer and
// two identifiers are equal exactly when their texts are.
#pragma once

#include <hostsdk/export.h>

#include <string>

class HOST_API HostID {
public:
    HostID() = default;
    // `copy` is kept for source compatibility: the host always keeps its own
    // copy of the text, so the identifier outlives the caller's string.
    explicit HostID(const char* text, bool copy = true);
    explicit HostID(const std::string& text) : HostID(text.c_str(), true) {}

    const char* Text() const { return text_ ? text_ : ""; }
    bool IsEmpty() const { return text_ == nullptr; }

    friend bool operator==(const HostID& a, const HostID& b) { return a.text_ == b.text_; }
    friend bool operator!=(const HostID& a, const HostID& b) { return a.text_ != b.text_; }

private:
    const char* text_ = nullptr;  // interned; the empty text is nullptr
};
