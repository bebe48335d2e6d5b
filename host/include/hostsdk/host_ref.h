// Ownership of one reference to a host object (an image, a point, any
// parameter): given back with Recycle when the holder goes, so that every
// path out of a request or a render, an exception included, gives back what
// was fetched exactly once. A copy takes a reference of its own (Use).
// Works with any type that has the host objects' Use and Recycle.
#pragma once

#include <cstddef>
#include <utility>

namespace taviron {

template <typename T>
class HostRef {
public:
    HostRef() = default;
    HostRef(std::nullptr_t) {}
    // Takes over the caller's reference to `object` (which may be null).
    explicit HostRef(T* object) : object_(object) {}
    HostRef(const HostRef& other) : object_(other.object_) {
        if (object_) object_->Use();
    }
    HostRef(HostRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    HostRef& operator=(HostRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~HostRef() { reset(); }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(std::nullptr_t) const { return object_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return object_ != nullptr; }

    // Hands the reference to the caller, who recycles it.
    T* release() { return std::exchange(object_, nullptr); }
    // Gives back the reference held, then takes over `object`'s.
    void reset(T* object = nullptr) {
        T* old = std::exchange(object_, object);
        if (old) old->Recycle();
    }
    // One more reference, for a caller that will recycle it.
    T* NewReference() const {
        if (object_) object_->Use();
        return object_;
    }

private:
    T* object_ = nullptr;
};

}  // namespace taviron
