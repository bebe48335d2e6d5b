#include <hostsdk/module.h>

#include "format_text.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

std::unique_ptr<Module> Module::Load(const std::string& path) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        throw ModuleError(FormatText("cannot load module \"{}\": {}", path, reason ? reason : "unknown reason"));
    }
    return std::unique_ptr<Module>(new Module(path, handle));
}

Module::~Module() {
    dlclose(handle_);
}

namespace {

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

}  // namespace

std::string ModulePathOf(const void* address) {
    Dl_info info;
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || map == nullptr) {
        return {};
    }
    // The loader knows the program only by the name it was started with.
    if (map->l_name == nullptr || map->l_name[0] == '\0') {
        return ExecutablePath();
    }
    return map->l_name;
}
