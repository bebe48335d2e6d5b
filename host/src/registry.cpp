#include <hostsdk/module_resources.h>
#include <hostsdk/registry.h>

#include <algorithm>

namespace {

// Built with the host library, so before any plug-in enters it, and
// destroyed after every plug-in has left it.
RegistryList hostClassRegistry;

template <typename Function>
Function FunctionUnder(const TagList& tags, Tag tag) {
    return reinterpret_cast<Function>(const_cast<void*>(tags.GetPointer(tag)));
}

}  // namespace

RegistryList* ClassRegistry = &hostClassRegistry;

ScriptInfo::ScriptInfo(int version, const char* id, const char* /*parent*/, const char* /*help*/)
    : version_(version), id_(id) {}

ScriptInfo::~ScriptInfo() = default;

Registry* RegistryList::Find(const HostID& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Registry* record : records_) {
        if (record->ID() == id) {
            return record;
        }
    }
    return nullptr;
}

std::vector<Registry*> RegistryList::All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

// A record whose initialisation function refuses stays out of the list.
void RegistryList::Enter(Registry* reg) {
    const auto init = FunctionUnder<RegInitFunc>(reg->Tags(), REG_InitFunc);
    if (init != nullptr && !init(reg)) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(reg);
}

// Only a record that entered is cleaned up.
void RegistryList::Leave(Registry* reg) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = std::find(records_.begin(), records_.end(), reg);
        if (found == records_.end()) {
            return;
        }
        records_.erase(found);
    }
    const auto cleanup = FunctionUnder<RegCleanupFunc>(reg->Tags(), REG_CleanupFunc);
    if (cleanup != nullptr) {
        cleanup(reg);
    }
}

Registry::Registry(RegistryList** list, const HostID& id, TagList tags, EnterTag)
    : list_(list != nullptr ? *list : nullptr), id_(id), tags_(std::move(tags)) {
    if (list_ != nullptr) {
        list_->Enter(this);
    }
}

Registry::~Registry() {
    if (list_ != nullptr) {
        list_->Leave(this);
    }
}

Operator* Registry::Create(const ScriptVal& script, const TagList& tags) {
    const auto create = FunctionUnder<CreateFunc>(tags_, REG_CreateFunc);
    return create != nullptr ? create(this, script, tags) : nullptr;
}

ResourceBytes Registry::Picture() const {
    const int32_t pictureID = tags_.GetInteger(REG_PictureID, -1);
    if (pictureID < 0) {
        return {};
    }
    return FindModuleResource(this, RESOURCE_BITMAP, static_cast<uint32_t>(pictureID));
}
