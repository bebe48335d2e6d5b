#include <hostsdk/host_id.h>

#include <mutex>
#include <unordered_set>

namespace {

// Every text ever made an identifier, kept for the life of the process.
// Nodes of an unordered_set never move, so the text of an entry stays put.
struct InternTable {
    std::mutex mutex;
    std::unordered_set<std::string> texts;
};

InternTable& Table() {
    // Never destroyed: identifiers in other modules' static objects may still
    // be read while static objects are being torn down.
    static InternTable* table = new InternTable;
    return *table;
}

}  // namespace

HostID::HostID(const char* text, bool /*copy*/) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    InternTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    text_ = table.texts.emplace(text).first->c_str();
}
