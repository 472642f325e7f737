#include "app/crash/LoadedModules.h"

#include "platform/CrashMemory.h"

#include <elf.h>
#include <link.h>

namespace {

struct ModuleWalk {
    LoadedModule* modules;
    std::size_t capacity;
    std::size_t count;
    char* names;
    std::size_t namesSize;
    std::size_t namesUsed;
};

void ReadBuildId(std::uintptr_t note, std::uintptr_t end, LoadedModule& module) {
    while (note + sizeof(ElfW(Nhdr)) <= end) {
        ElfW(Nhdr) noteHeader;
        if (!ReadOwnMemory(note, &noteHeader, sizeof noteHeader)) {
            return;
        }
        const std::uintptr_t name = note + sizeof noteHeader;
        const std::uintptr_t descriptor = name + ((noteHeader.n_namesz + 3) & ~3U);
        if (noteHeader.n_type == NT_GNU_BUILD_ID && noteHeader.n_namesz == 4) {
            module.buildIdSize = noteHeader.n_descsz < LoadedModule::kMaxBuildId
                                     ? noteHeader.n_descsz
                                     : LoadedModule::kMaxBuildId;
            if (!ReadOwnMemory(descriptor, module.buildId, module.buildIdSize)) {
                module.buildIdSize = 0;
            }
            return;
        }
        note = descriptor + ((noteHeader.n_descsz + 3) & ~3U);
    }
}

// The size and build id from the program headers of the ELF file whose header is mapped at
// module.base; false when they cannot be read or there is no loaded segment.
bool ReadSegments(const ElfW(Ehdr) & file, LoadedModule& module) {
    // The loader maps the first loaded segment, which holds file offset 0, at the base: the
    // difference between addresses in memory and in the file follows from it.
    std::uintptr_t bias = 0;
    std::uintptr_t high = 0;
    bool loaded = false;
    const std::uintptr_t headers = module.base + file.e_phoff;
    for (ElfW(Half) i = 0; i < file.e_phnum; ++i) {
        ElfW(Phdr) header;
        if (!ReadOwnMemory(headers + i * std::uintptr_t{file.e_phentsize}, &header,
                           sizeof header)) {
            return false;
        }
        if (header.p_type == PT_LOAD) {
            if (!loaded) {
                bias = module.base - (header.p_vaddr - header.p_offset);
                loaded = true;
            }
            const std::uintptr_t top = bias + header.p_vaddr + header.p_memsz;
            high = top > high ? top : high;
        } else if (header.p_type == PT_NOTE && loaded && module.buildIdSize == 0) {
            ReadBuildId(bias + header.p_vaddr, bias + header.p_vaddr + header.p_memsz, module);
        }
    }
    if (!loaded || high <= module.base) {
        return false;
    }
    module.size = high - module.base;
    return true;
}

void ReadVersion(LoadedModule& module) {
    const char* text = FileNamePart(module.path);
    const char* found = nullptr;
    for (const char* c = text; *c != '\0'; ++c) {
        if (c[0] == '.' && c[1] == 's' && c[2] == 'o' && c[3] == '.') {
            found = c + 4;
        }
    }
    for (int field = 0; found != nullptr && field < 4; ++field) {
        unsigned value = 0;
        const char* start = found;
        while (*found >= '0' && *found <= '9' && value < 0xFFFF) {
            value = value * 10 + static_cast<unsigned>(*found++ - '0');
        }
        if (found == start) {
            break;
        }
        module.version[field] = static_cast<std::uint16_t>(value);
        module.hasVersion = true;
        found = *found == '.' ? found + 1 : nullptr;
    }
}

bool SamePath(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

bool OnMapping(const MemoryMapping& mapping, void* data) {
    auto& walk = *static_cast<ModuleWalk*>(data);
    if (walk.count == walk.capacity) {
        return false;
    }
    if (mapping.offset != 0 || !mapping.readable || mapping.path[0] != '/') {
        return true;
    }
    ElfW(Ehdr) file;
    if (!ReadOwnMemory(mapping.start, &file, sizeof file) || file.e_ident[EI_MAG0] != ELFMAG0 ||
        file.e_ident[EI_MAG1] != ELFMAG1 || file.e_ident[EI_MAG2] != ELFMAG2 ||
        file.e_ident[EI_MAG3] != ELFMAG3 || file.e_phentsize < sizeof(ElfW(Phdr))) {
        return true;
    }
    LoadedModule& module = walk.modules[walk.count];
    module = LoadedModule{};
    module.base = mapping.start;
    if (!ReadSegments(file, module)) {
        return true;
    }
    std::size_t length = 0;
    while (mapping.path[length] != '\0') {
        ++length;
    }
    if (length >= walk.namesSize - walk.namesUsed) {
        return true;
    }
    char* name = walk.names + walk.namesUsed;
    for (std::size_t i = 0; i <= length; ++i) {
        name[i] = mapping.path[i];
    }
    walk.namesUsed += length + 1;
    module.path = name;
    ReadVersion(module);
    ++walk.count;
    return true;
}

} // namespace

std::size_t ListLoadedModules(LoadedModule* modules, std::size_t capacity, char* names,
                              std::size_t namesSize, const char* programPath) {
    ModuleWalk walk{modules, capacity, 0, names, namesSize, 0};
    ForEachMapping(&OnMapping, &walk);
    // The program first, the others keeping their order.
    for (std::size_t i = 1; i < walk.count; ++i) {
        if (SamePath(modules[i].path, programPath)) {
            const LoadedModule program = modules[i];
            for (std::size_t j = i; j > 0; --j) {
                modules[j] = modules[j - 1];
            }
            modules[0] = program;
            break;
        }
    }
    return walk.count;
}

const LoadedModule* FindModule(const LoadedModule* modules, std::size_t count,
                               std::uintptr_t address) {
    for (std::size_t i = 0; i < count; ++i) {
        if (address >= modules[i].base && address - modules[i].base < modules[i].size) {
            return &modules[i];
        }
    }
    return nullptr;
}

const char* FileNamePart(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '/') {
            name = c + 1;
        }
    }
    return name;
}
