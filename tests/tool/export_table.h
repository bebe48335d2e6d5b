// The names that a module file exports to the dynamic linker: the defined,
// visible, non-local symbols of an ELF file's .dynsym, or the named exports
// of a PE file's export directory.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

struct ExportTableError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws ExportTableError when the file is unreadable or neither a 64-bit
// little-endian ELF file nor a PE file.
std::vector<std::string> ExportedSymbols(const std::string& path);
