// Inputs and outputs of an operator. The host binds each input to a Source
// that yields a value for a time; a control input also holds the value that
// the user set, which every request snapshots.
#pragma once

#include <hostsdk/host_id.h>
#include <hostsdk/object.h>
#include <hostsdk/tag_list.h>

#include <memory>

class Operator;
class Parameter;

// What the host connects to an input: a clip, a tracker, an animated value.
// Sources are called from the request thread only.
class HOST_API Source {
public:
    virtual ~Source();
    // The value at `time` with one reference for the caller, or nullptr.
    virtual Parameter* Fetch(double time) = 0;
};

class HOST_API Link : public Object {
public:
    Link(Operator* owner, const HostID& name, const HostID& id, TagList tags);

    Operator* Owner() const { return owner_; }
    const HostID& Name() const { return name_; }
    const HostID& ID() const { return id_; }
    // The tag list given when the link was declared.
    const TagList& Tags() const { return tags_; }
    // TAG_LinkDataType, or the empty identifier when none was declared.
    HostID DataType() const;

private:
    Operator* owner_;
    HostID name_;
    HostID id_;
    TagList tags_;
};

class HOST_API Input : public Link {
public:
    Input(Operator* owner, const HostID& name, const HostID& id, TagList tags);

    // The connected source's value at `time` (one reference), or nullptr
    // when nothing is connected or the source has none.
    Parameter* GetSource(double time);

    void Connect(std::shared_ptr<Source> source);
    bool IsConnected() const { return source_ != nullptr; }

    // The control's value; starts at TAG_Default (0 without one).
    double Value() const { return value_; }
    void SetValue(double value) { value_ = value; }

    // The input's own handling of a change of its value or connection. The
    // stand-in records the call (see LastNotification).
    virtual void NotifyChanged(Parameter* param, double time, uint32_t flags, const TagList* tags);

    // The arguments of the last NotifyChanged, and the host change-clock
    // stamp it got (0 when there was none yet).
    struct Notification {
        Parameter* param = nullptr;
        double time = 0.0;
        uint32_t flags = 0;
        const TagList* tags = nullptr;
        uint64_t stamp = 0;
    };
    const Notification& LastNotification() const { return lastNotification_; }
    uint64_t LastChange() const { return lastNotification_.stamp; }

private:
    std::shared_ptr<Source> source_;
    double value_;
    Notification lastNotification_;
};

class HOST_API Output : public Link {
public:
    using Link::Link;
};

// Host-wide change clock: every stamp is larger than all before it.
HOST_API uint64_t NextChangeStamp();
