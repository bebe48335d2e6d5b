// The host's object model. Every object that flows between the host and a
// tool is reference counted: whoever is given a reference releases it once
// with Object::Recycle. The host keeps a register of live objects, so a
// release of an object that no longer exists is caught and counted instead of
// corrupting memory, and tests can count live objects to find leaks.
#pragma once

#include <hostsdk/export.h>

#include <atomic>
#include <cstddef>

// Root of every class the host's scripting can see.
class HOST_API LuaClass {
public:
    virtual ~LuaClass();
};

class HOST_API ScriptObject : public LuaClass {};

// Enters itself in the host's register of live objects for its lifetime.
class HOST_API _Object : public ScriptObject {
public:
    _Object();
    _Object(const _Object&) = delete;
    _Object& operator=(const _Object&) = delete;
    ~_Object() override;

    // Objects alive in the whole process, of every kind.
    static size_t LiveCount();
    // Whether `object` is alive now (registered and not yet destroyed).
    static bool IsLive(const _Object* object);
};

class HOST_API RefObject : public _Object {
public:
    // Takes one more reference.
    void Use();
    int RefCount() const { return refs_.load(std::memory_order_relaxed); }

protected:
    // Drops one reference; true when it was the last.
    bool DropReference();

private:
    std::atomic<int> refs_{1};
};

class HOST_API Object : public RefObject {
public:
    // Drops one reference and destroys the object with the last. Releasing an
    // object that is no longer alive is reported on standard error, counted
    // in OverReleaseCount(), and otherwise ignored.
    void Recycle();

    static size_t OverReleaseCount();
};

// For tests of a tool: told of every release of a live object, on the
// releasing thread, before the reference is dropped. nullptr (the start)
// tells nothing. The observer must not call into the host.
using RecycleObserver = void (*)(const Object* object);
HOST_API void SetRecycleObserver(RecycleObserver observer);
