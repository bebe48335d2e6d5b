#include "export_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Little-endian reads from a whole file, checked against its end.
class FileBytes {
public:
    explicit FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw ExportTableError("cannot read " + path);
        }
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    uint64_t Read(uint64_t offset, unsigned size) const {
        Check(offset, size);
        uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i) {
            value |= uint64_t(uint8_t(bytes_[offset + i])) << (8 * i);
        }
        return value;
    }
    uint32_t U16(uint64_t offset) const { return uint32_t(Read(offset, 2)); }
    uint32_t U32(uint64_t offset) const { return uint32_t(Read(offset, 4)); }
    uint64_t U64(uint64_t offset) const { return Read(offset, 8); }
    uint8_t U8(uint64_t offset) const { return uint8_t(Read(offset, 1)); }

    std::string Text(uint64_t offset) const {
        Check(offset, 1);
        const char* start = bytes_.data() + offset;
        size_t length = strnlen(start, bytes_.size() - offset);
        return std::string(start, length);
    }

    bool StartsWith(const char* magic, size_t size) const {
        return bytes_.size() >= size && std::memcmp(bytes_.data(), magic, size) == 0;
    }

private:
    void Check(uint64_t offset, uint64_t size) const {
        if (offset > bytes_.size() || size > bytes_.size() - offset) {
            throw ExportTableError("truncated module file");
        }
    }

    std::string bytes_;
};

constexpr uint32_t SHT_DYNSYM_TYPE = 11;
constexpr uint8_t STB_LOCAL_BINDING = 0;
constexpr uint32_t SHN_UNDEF_INDEX = 0;
constexpr uint8_t STV_DEFAULT_VISIBILITY = 0;
constexpr uint8_t STV_PROTECTED_VISIBILITY = 3;
constexpr uint64_t ELF_SECTION_HEADER_SIZE = 64;
constexpr uint64_t ELF_SYMBOL_SIZE = 24;

std::vector<std::string> ElfExports(const FileBytes& file) {
    const bool is64BitLittleEndian = file.U8(4) == 2 && file.U8(5) == 1;
    if (!is64BitLittleEndian) {
        throw ExportTableError("not a 64-bit little-endian ELF file");
    }
    const uint64_t sectionTable = file.U64(0x28);
    const uint32_t sectionCount = file.U16(0x3C);
    auto section = [&](uint32_t index) { return sectionTable + index * ELF_SECTION_HEADER_SIZE; };

    std::vector<std::string> exports;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        if (file.U32(section(i) + 4) != SHT_DYNSYM_TYPE) {
            continue;
        }
        const uint64_t symbols = file.U64(section(i) + 0x18);
        const uint64_t symbolsSize = file.U64(section(i) + 0x20);
        const uint64_t names = file.U64(section(file.U32(section(i) + 0x28)) + 0x18);
        for (uint64_t symbol = symbols; symbol + ELF_SYMBOL_SIZE <= symbols + symbolsSize;
             symbol += ELF_SYMBOL_SIZE) {
            const uint8_t binding = file.U8(symbol + 4) >> 4;
            const uint8_t visibility = file.U8(symbol + 5) & 3;
            const bool defined = file.U16(symbol + 6) != SHN_UNDEF_INDEX;
            const bool visible = visibility == STV_DEFAULT_VISIBILITY ||
                                 visibility == STV_PROTECTED_VISIBILITY;
            if (defined && visible && binding != STB_LOCAL_BINDING) {
                exports.push_back(file.Text(names + file.U32(symbol)));
            }
        }
    }
    return exports;
}

constexpr uint32_t PE32_MAGIC = 0x10B;
constexpr uint32_t PE32_PLUS_MAGIC = 0x20B;

// File offset of a relative virtual address, through the section table.
uint64_t PeFileOffset(const FileBytes& file, uint64_t sections, uint32_t count, uint32_t rva) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t header = sections + i * 40;
        const uint32_t start = file.U32(header + 12);
        const uint32_t size = std::max(file.U32(header + 8), file.U32(header + 16));
        if (rva >= start && rva - start < size) {
            return file.U32(header + 20) + (rva - start);
        }
    }
    throw ExportTableError("address outside every section");
}

std::vector<std::string> PeExports(const FileBytes& file) {
    const uint64_t pe = file.U32(0x3C);
    if (file.U32(pe) != 0x00004550) {  // "PE\0\0"
        throw ExportTableError("not a PE file");
    }
    const uint32_t sectionCount = file.U16(pe + 6);
    const uint64_t optional = pe + 24;
    const uint64_t sections = optional + file.U16(pe + 20);
    const uint32_t magic = file.U16(optional);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC) {
        throw ExportTableError("unknown PE optional header");
    }
    const uint64_t directories = optional + (magic == PE32_PLUS_MAGIC ? 112 : 96);
    const uint32_t directoryCount = file.U32(directories - 4);
    if (directoryCount == 0 || file.U32(directories + 4) == 0) {
        return {};  // no export directory at all
    }
    const uint64_t exportDirectory = PeFileOffset(file, sections, sectionCount, file.U32(directories));
    const uint32_t nameCount = file.U32(exportDirectory + 24);
    const uint64_t nameTable =
        PeFileOffset(file, sections, sectionCount, file.U32(exportDirectory + 32));
    std::vector<std::string> exports;
    for (uint32_t i = 0; i < nameCount; ++i) {
        const uint32_t nameRva = file.U32(nameTable + 4 * i);
        exports.push_back(file.Text(PeFileOffset(file, sections, sectionCount, nameRva)));
    }
    // Exports by ordinal alone have no name; count them too.
    const uint32_t functionCount = file.U32(exportDirectory + 20);
    for (uint32_t i = nameCount; i < functionCount; ++i) {
        exports.push_back("#" + std::to_string(i));
    }
    return exports;
}

}  // namespace

std::vector<std::string> ExportedSymbols(const std::string& path) {
    const FileBytes file(path);
    if (file.StartsWith("\x7F" "ELF", 4)) {
        return ElfExports(file);
    }
    if (file.StartsWith("MZ", 2)) {
        return PeExports(file);
    }
    throw ExportTableError(path + " is neither an ELF nor a PE file");
}
