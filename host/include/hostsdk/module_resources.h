// Resources carried by a plug-in module. On Windows they are the module's
// own resources (FindResource / LoadResource). Elsewhere a module carries each
// resource as an ELF note in a loaded PT_NOTE segment:
//
//   owner name  "HOSTRES" (namesz 8, NUL included)
//   note type   the resource type (RESOURCE_BITMAP for a bitmap)
//   descriptor  uint32 resource ID, uint32 language ID, then the resource's
//               bytes; the note is padded to 4 bytes as usual.
//
// A bitmap resource holds a device-independent bitmap: BITMAPINFOHEADER and
// the pixels, without the BITMAPFILEHEADER of a .bmp file.
#pragma once

#include <hostsdk/registry.h>

#include <cstdint>

constexpr uint32_t RESOURCE_BITMAP = 2;
constexpr uint32_t LANGUAGE_ENGLISH_UK = 0x0809;

// The resource of `type` and `id` in the module that holds `address`, in
// English (United Kingdom) where the module has that language, else in any.
HOST_API ResourceBytes FindModuleResource(const void* address, uint32_t type, uint32_t id);
