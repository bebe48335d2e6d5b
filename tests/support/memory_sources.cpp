#include "support/memory_sources.h"

namespace {

void Release(Parameter* value) {
    if (value != nullptr) {
        value->Recycle();
    }
}

}  // namespace

MemorySource::MemorySource(std::string name, std::shared_ptr<FetchLog> log)
    : name_(std::move(name)), log_(std::move(log)) {}

MemorySource::~MemorySource() {
    for (auto& entry : values_) {
        Release(entry.second);
    }
    Release(default_);
}

void MemorySource::Set(double time, Parameter* value) {
    auto found = values_.find(time);
    if (found != values_.end()) {
        Release(found->second);
        found->second = value;
    } else {
        values_.emplace(time, value);
    }
}

void MemorySource::SetDefault(Parameter* value) {
    Release(default_);
    default_ = value;
}

Parameter* MemorySource::Fetch(double time) {
    times_.push_back(time);
    if (log_) {
        log_->push_back({name_, time});
    }
    const auto found = values_.find(time);
    Parameter* value = found != values_.end() ? found->second : default_;
    if (value != nullptr) {
        value->Use();
    }
    return value;
}
