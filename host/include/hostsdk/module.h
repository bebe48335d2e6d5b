// Loading plug-in modules by path. Loading runs the module's static
// constructors, which enter its classes in ClassRegistry; unloading runs its
// static destructors, which take them out again.
#pragma once

#include <hostsdk/export.h>

#include <memory>
#include <stdexcept>
#include <string>

class HOST_API ModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HOST_API Module {
public:
    // Throws ModuleError with a message that names the path and the
    // system's reason when the module cannot be loaded.
    static std::unique_ptr<Module> Load(const std::string& path);
    ~Module();  // unloads
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::string& Path() const { return path_; }
    // The system's handle (dlopen's or LoadLibrary's).
    void* Handle() const { return handle_; }

private:
    Module(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}

    std::string path_;
    void* handle_;
};

// The module file that holds `address`, e.g. beside which a host program
// looks for its plug-ins. Empty when unknown.
HOST_API std::string ModulePathOf(const void* address);
