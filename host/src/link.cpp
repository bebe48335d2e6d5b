#include <hostsdk/link.h>

#include <atomic>

namespace {

std::atomic<uint64_t> changeClock{0};

}  // namespace

uint64_t NextChangeStamp() {
    return changeClock.fetch_add(1, std::memory_order_relaxed) + 1;
}

Source::~Source() = default;

Link::Link(Operator* owner, const HostID& name, const HostID& id, TagList tags)
    : owner_(owner), name_(name), id_(id), tags_(std::move(tags)) {}

HostID Link::DataType() const {
    return tags_.GetID(TAG_LinkDataType);
}

Input::Input(Operator* owner, const HostID& name, const HostID& id, TagList tags)
    : Link(owner, name, id, std::move(tags)), value_(Tags().GetDouble(TAG_Default, 0.0)) {}

Parameter* Input::GetSource(double time) {
    return source_ ? source_->Fetch(time) : nullptr;
}

void Input::Connect(std::shared_ptr<Source> source) {
    source_ = std::move(source);
}

void Input::NotifyChanged(Parameter* param, double time, uint32_t flags, const TagList* tags) {
    lastNotification_ = {param, time, flags, tags, NextChangeStamp()};
}
