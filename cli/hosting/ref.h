// Ref: owns one reference to a host object and gives it back with Recycle.
#pragma once

#include <utility>

template <typename T>
class Ref {
public:
    Ref() = default;
    // Takes over the caller's reference to `object` (which may be null).
    static Ref Adopt(T* object) {
        Ref ref;
        ref.object_ = object;
        return ref;
    }
    Ref(const Ref& other) : object_(other.object_) {
        if (object_) object_->Use();
    }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() {
        if (object_) object_->Recycle();
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // One more reference, for a caller that will recycle it.
    T* NewReference() const {
        if (object_) object_->Use();
        return object_;
    }

private:
    T* object_ = nullptr;
};
