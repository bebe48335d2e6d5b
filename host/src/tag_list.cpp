#include <hostsdk/tag_list.h>

#include <cstdio>
#include <limits>
#include <stdexcept>

namespace {

const char* KindName(TagKind kind) {
    switch (kind) {
    case TagKind::Integer: return "an integer";
    case TagKind::Double: return "a double";
    case TagKind::String: return "a string";
    case TagKind::Pointer: return "a pointer";
    case TagKind::Identifier: return "an identifier";
    }
    return "no known kind of value";
}

[[noreturn]] void ThrowWrongKind(Tag tag, TagKind given) {
    char message[128];
    std::snprintf(message, sizeof message, "tag 0x%08X takes %s, not %s", static_cast<unsigned>(tag),
                  KindName(KindOf(tag)), KindName(given));
    throw std::invalid_argument(message);
}

void RequireKind(Tag tag, TagKind kind) {
    if (KindOf(tag) != kind) {
        ThrowWrongKind(tag, kind);
    }
}

}  // namespace

void TagList::AddInteger(Tag tag, int32_t value) {
    RequireKind(tag, TagKind::Integer);
    Entry entry;
    entry.tag = tag;
    entry.integer = value;
    entries_.push_back(std::move(entry));
}

void TagList::AddDouble(Tag tag, double value) {
    RequireKind(tag, TagKind::Double);
    Entry entry;
    entry.tag = tag;
    entry.number = value;
    entries_.push_back(std::move(entry));
}

void TagList::AddString(Tag tag, const char* value) {
    RequireKind(tag, TagKind::String);
    Entry entry;
    entry.tag = tag;
    entry.text = value ? value : "";
    entries_.push_back(std::move(entry));
}

void TagList::AddPointer(Tag tag, const void* value) {
    RequireKind(tag, TagKind::Pointer);
    Entry entry;
    entry.tag = tag;
    entry.pointer = value;
    entries_.push_back(std::move(entry));
}

void TagList::AddID(Tag tag, const HostID& value) {
    RequireKind(tag, TagKind::Identifier);
    Entry entry;
    entry.tag = tag;
    entry.id = value;
    entries_.push_back(std::move(entry));
}

void TagList::AddNumber(Tag tag, long long value) {
    if (KindOf(tag) == TagKind::Double) {
        AddDouble(tag, static_cast<double>(value));
        return;
    }
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        char message[96];
        std::snprintf(message, sizeof message, "tag 0x%08X: %lld does not fit a 32-bit integer",
                      static_cast<unsigned>(tag), value);
        throw std::invalid_argument(message);
    }
    AddInteger(tag, static_cast<int32_t>(value));
}

void TagList::CheckEnd(Tag end) {
    if (end != TAG_DONE) {
        char message[96];
        std::snprintf(message, sizeof message, "tag list ended by 0x%08X instead of 0",
                      static_cast<unsigned>(end));
        throw std::invalid_argument(message);
    }
}

const TagList::Entry* TagList::Find(Tag tag) const {
    for (const Entry& entry : entries_) {
        if (entry.tag == tag) {
            return &entry;
        }
    }
    return nullptr;
}

int32_t TagList::GetInteger(Tag tag, int32_t fallback) const {
    RequireKind(tag, TagKind::Integer);
    const Entry* entry = Find(tag);
    return entry ? entry->integer : fallback;
}

double TagList::GetDouble(Tag tag, double fallback) const {
    RequireKind(tag, TagKind::Double);
    const Entry* entry = Find(tag);
    return entry ? entry->number : fallback;
}

const char* TagList::GetString(Tag tag, const char* fallback) const {
    RequireKind(tag, TagKind::String);
    const Entry* entry = Find(tag);
    return entry ? entry->text.c_str() : fallback;
}

const void* TagList::GetPointer(Tag tag) const {
    RequireKind(tag, TagKind::Pointer);
    const Entry* entry = Find(tag);
    return entry ? entry->pointer : nullptr;
}

HostID TagList::GetID(Tag tag) const {
    RequireKind(tag, TagKind::Identifier);
    const Entry* entry = Find(tag);
    return entry ? entry->id : HostID();
}

std::vector<std::string> TagList::GetStrings(Tag tag) const {
    RequireKind(tag, TagKind::String);
    std::vector<std::string> texts;
    for (const Entry& entry : entries_) {
        if (entry.tag == tag) {
            texts.push_back(entry.text);
        }
    }
    return texts;
}
