#include <hostsdk/object.h>

#include <cstdio>
#include <mutex>
#include <unordered_set>

namespace {

// Addresses of the objects alive now. Releases consult it before touching an
// object, so a release of a destroyed object never reads freed memory.
struct LiveRegister {
    std::mutex mutex;
    std::unordered_set<const _Object*> objects;
};

LiveRegister& Register() {
    // Never destroyed: objects held by static objects of other modules may be
    // destroyed after this module's statics.
    static LiveRegister* live = new LiveRegister;
    return *live;
}

std::atomic<size_t> overReleases{0};
std::atomic<RecycleObserver> recycleObserver{nullptr};

void ReportOverRelease(const void* object) {
    overReleases.fetch_add(1, std::memory_order_relaxed);
    std::fprintf(stderr, "hostsdk: release of object %p, which is no longer alive\n", object);
}

}  // namespace

LuaClass::~LuaClass() = default;

_Object::_Object() {
    LiveRegister& live = Register();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.objects.insert(this);
}

_Object::~_Object() {
    LiveRegister& live = Register();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.objects.erase(this);
}

size_t _Object::LiveCount() {
    LiveRegister& live = Register();
    std::lock_guard<std::mutex> lock(live.mutex);
    return live.objects.size();
}

bool _Object::IsLive(const _Object* object) {
    LiveRegister& live = Register();
    std::lock_guard<std::mutex> lock(live.mutex);
    return live.objects.count(object) != 0;
}

void RefObject::Use() {
    refs_.fetch_add(1, std::memory_order_relaxed);
}

bool RefObject::DropReference() {
    return refs_.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

void Object::Recycle() {
    const _Object* self = this;  // an upcast: no memory is read
    LiveRegister& live = Register();
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(live.mutex);
        if (live.objects.count(self) == 0) {
            ReportOverRelease(self);
            return;
        }
        if (const RecycleObserver observer = recycleObserver.load(std::memory_order_acquire)) {
            observer(this);
        }
        last = DropReference();
        if (last) {
            // Out of the register before it goes, so that a second release
            // racing this one is caught rather than freeing twice.
            live.objects.erase(self);
        }
    }
    if (last) {
        delete this;
    }
}

size_t Object::OverReleaseCount() {
    return overReleases.load(std::memory_order_relaxed);
}

void SetRecycleObserver(RecycleObserver observer) {
    recycleObserver.store(observer, std::memory_order_release);
}
