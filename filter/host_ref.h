// Ownership of one reference to a host object: released with Recycle when the
// holder goes, so every path out of a request (an exception included) gives
// back what was fetched exactly once.
#pragma once

#include <hostsdk/object.h>

#include <memory>

namespace taviron {

struct RecycleObject {
    void operator()(Object* object) const { object->Recycle(); }
};

template <typename T>
using HostRef = std::unique_ptr<T, RecycleObject>;

}  // namespace taviron
