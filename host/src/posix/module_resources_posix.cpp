// Resources as ELF notes of a loaded module (see module_resources.h).
#include <hostsdk/module_resources.h>

#include <link.h>

#include <cstring>

namespace {

// The ELF program header of this word size.
using ProgramHeader = ElfW(Phdr);

constexpr char kOwner[] = "HOSTRES";  // with its NUL, the 8 bytes of the note's name
constexpr size_t kNoteHeaderBytes = 12;
constexpr size_t kResourceHeaderBytes = 8;

struct Search {
    uintptr_t address;
    uint32_t type;
    uint32_t id;
    ResourceBytes anyLanguage;
    ResourceBytes englishUK;
};

uint32_t ReadWord(const unsigned char* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

size_t AlignUp(size_t size, size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

bool SegmentHolds(const dl_phdr_info* module, const ProgramHeader& segment, uintptr_t address, size_t size) {
    const uintptr_t start = module->dlpi_addr + segment.p_vaddr;
    return address >= start && size <= segment.p_memsz && address - start <= segment.p_memsz - size;
}

// Whether the range lies within one loaded segment of the module.
bool IsLoaded(const dl_phdr_info* module, uintptr_t address, size_t size) {
    for (int i = 0; i < module->dlpi_phnum; ++i) {
        const ProgramHeader& segment = module->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && SegmentHolds(module, segment, address, size)) {
            return true;
        }
    }
    return false;
}

void ConsiderResource(Search& search, const unsigned char* descriptor, size_t size) {
    if (size < kResourceHeaderBytes || ReadWord(descriptor) != search.id) {
        return;
    }
    const ResourceBytes bytes{descriptor + kResourceHeaderBytes, size - kResourceHeaderBytes};
    if (ReadWord(descriptor + 4) == LANGUAGE_ENGLISH_UK) {
        if (search.englishUK.data == nullptr) {
            search.englishUK = bytes;
        }
    } else if (search.anyLanguage.data == nullptr) {
        search.anyLanguage = bytes;
    }
}

// Walks the notes of one PT_NOTE segment; every length is checked against
// what is left of the segment.
void SearchNotes(Search& search, const unsigned char* notes, size_t size, size_t alignment) {
    size_t offset = 0;
    while (size - offset >= kNoteHeaderBytes) {
        const unsigned char* note = notes + offset;
        const size_t nameSize = ReadWord(note);
        const size_t descriptorSize = ReadWord(note + 4);
        const uint32_t type = ReadWord(note + 8);
        const size_t left = size - offset - kNoteHeaderBytes;
        if (nameSize > left) {
            return;
        }
        const size_t nameSpace = AlignUp(nameSize, alignment);
        if (nameSpace > left || descriptorSize > left - nameSpace) {
            return;
        }
        const unsigned char* name = note + kNoteHeaderBytes;
        if (type == search.type && nameSize == sizeof kOwner && std::memcmp(name, kOwner, sizeof kOwner) == 0) {
            ConsiderResource(search, name + nameSpace, descriptorSize);
        }
        const size_t descriptorSpace = AlignUp(descriptorSize, alignment);
        if (descriptorSpace > left - nameSpace) {
            return;  // the last note, unpadded
        }
        offset += kNoteHeaderBytes + nameSpace + descriptorSpace;
    }
}

int SearchModule(dl_phdr_info* module, size_t /*infoSize*/, void* data) {
    Search& search = *static_cast<Search*>(data);
    if (!IsLoaded(module, search.address, 1)) {
        return 0;  // not the module that holds the address
    }
    for (int i = 0; i < module->dlpi_phnum; ++i) {
        const ProgramHeader& segment = module->dlpi_phdr[i];
        const uintptr_t start = module->dlpi_addr + segment.p_vaddr;
        if (segment.p_type != PT_NOTE || !IsLoaded(module, start, segment.p_memsz)) {
            continue;
        }
        const size_t alignment = segment.p_align == 8 ? 8 : 4;
        SearchNotes(search, reinterpret_cast<const unsigned char*>(start), segment.p_memsz, alignment);
    }
    return 1;
}

}  // namespace

ResourceBytes FindModuleResource(const void* address, uint32_t type, uint32_t id) {
    Search search{reinterpret_cast<uintptr_t>(address), type, id, {}, {}};
    dl_iterate_phdr(SearchModule, &search);
    return search.englishUK.data != nullptr ? search.englishUK : search.anyLanguage;
}
