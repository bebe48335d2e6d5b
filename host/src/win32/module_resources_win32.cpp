#include <hostsdk/module_resources.h>

#include <windows.h>

ResourceBytes FindModuleResource(const void* address, uint32_t type, uint32_t id) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    const LPCWSTR resourceType = MAKEINTRESOURCEW(type);
    const LPCWSTR resourceName = MAKEINTRESOURCEW(id);
    HRSRC found =
        FindResourceExW(module, resourceType, resourceName, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
    if (found == nullptr) {
        found = FindResourceW(module, resourceName, resourceType);
    }
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return {};
    }
    return {static_cast<const unsigned char*>(data), static_cast<size_t>(SizeofResource(module, found))};
}
