// The class registry. A plug-in enters its tools while it is being loaded:
// its static Registry objects add themselves to ClassRegistry when they are
// built and leave it when they are destroyed at unload. A host finds a class
// by its ID and creates instances through the record's creation function.
#pragma once

#include <hostsdk/host_id.h>
#include <hostsdk/tag_list.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class Operator;
class Registry;

// A value from the host's scripting, handed through to a new instance.
struct ScriptVal {};

// A class's script record. Its table holds the two conversions and nothing
// else: records are static objects of the module that declares the class,
// never destroyed through this base, so the destructor is not virtual.
class HOST_API ScriptInfo {
public:
    ScriptInfo(int version, const char* id, const char* parent, const char* help);

    // Conversions between an object and its script-side form.
    virtual void* ToScript(void* object) = 0;
    virtual void* FromScript(void* object) = 0;

    int Version() const { return version_; }
    const HostID& ID() const { return id_; }

protected:
    ~ScriptInfo();

private:
    int version_;
    HostID id_;
};

template <typename T>
class ScriptInfoT : public ScriptInfo {
public:
    using ScriptInfo::ScriptInfo;
    void* ToScript(void* object) override { return object; }
    void* FromScript(void* object) override { return object; }
};

// Creation function named by REG_CreateFunc: a new instance, or nullptr.
using CreateFunc = Operator* (*)(Registry* reg, const ScriptVal& script, const TagList& tags);
using RegInitFunc = bool (*)(Registry* reg);
using RegCleanupFunc = void (*)(Registry* reg);

// Tags of a registration record.
constexpr Tag REG_CreateFunc = 0x60000000;   // pointer: CreateFunc
constexpr Tag REG_InitFunc = 0x60000001;     // pointer: RegInitFunc, called on entry
constexpr Tag REG_CleanupFunc = 0x60000002;  // pointer: RegCleanupFunc, called on leave
constexpr Tag REG_ScriptInfo = 0x60000005;   // pointer: ScriptInfo
constexpr Tag REG_BaseClass = 0x60000011;    // pointer: the base class's HostID
constexpr Tag REG_Version = 0x10000000;      // integer
constexpr Tag REG_Flags = 0x10000003;        // integer
constexpr Tag REG_PictureID = 0x10000004;    // integer: bitmap resource of the tool's picture
constexpr Tag REG_Name = 0x30000002;         // string
constexpr Tag REG_Category = 0x30000003;     // string
constexpr Tag REG_Symbol = 0x30000004;       // string
constexpr Tag REG_HelpText = 0x30000005;     // string
constexpr Tag REG_BuildStamp = 0x30000008;   // string

// Bytes of a resource inside the module that registered a class; valid while
// that module stays loaded. Empty when there is none.
struct ResourceBytes {
    const unsigned char* data = nullptr;
    size_t size = 0;
};

class HOST_API RegistryList {
public:
    // The record with this ID, or nullptr.
    Registry* Find(const HostID& id) const;
    // Every record, in order of entry.
    std::vector<Registry*> All() const;

private:
    friend class Registry;
    void Enter(Registry* reg);
    void Leave(Registry* reg);

    mutable std::mutex mutex_;
    std::vector<Registry*> records_;
};

// The host's class registry.
extern HOST_API RegistryList* ClassRegistry;

class HOST_API Registry {
public:
    template <typename... Tags>
    Registry(RegistryList** list, const HostID& id, Tags&&... tags)
        : Registry(list, id, TagList(std::forward<Tags>(tags)...), EnterTag{}) {}
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    const HostID& ID() const { return id_; }
    const TagList& Tags() const { return tags_; }
    const char* Name() const { return tags_.GetString(REG_Name, ""); }
    const char* Category() const { return tags_.GetString(REG_Category, ""); }
    const char* HelpText() const { return tags_.GetString(REG_HelpText, ""); }
    const char* BuildStamp() const { return tags_.GetString(REG_BuildStamp, ""); }

    // A new instance through the creation function; nullptr when the record
    // has none or it gives none. Exceptions of the constructor pass through.
    Operator* Create(const ScriptVal& script, const TagList& tags);

    // The tool's picture: the bitmap resource named by REG_PictureID, as a
    // device-independent bitmap (BITMAPINFOHEADER, then the pixels).
    ResourceBytes Picture() const;

private:
    struct EnterTag {};
    Registry(RegistryList** list, const HostID& id, TagList tags, EnterTag);

    RegistryList* list_;
    HostID id_;
    TagList tags_;
};
