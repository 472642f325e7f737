#include "app/crash/LoadedModules.h"

#include "platform/CrashMemory.h"

#include <elf.h>
#include <link.h>

namespace {

struct ModuleWalk {
    LoadedModule* modules;
    std::size_t capacity;
    std::size_t count;
    const char* programPath;
};

void ReadBuildId(const dl_phdr_info& info, const ElfW(Phdr) & header, LoadedModule& module) {
    std::uintptr_t note = info.dlpi_addr + header.p_vaddr;
    const std::uintptr_t end = note + header.p_memsz;
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

int OnModule(dl_phdr_info* info, std::size_t, void* data) {
    auto& walk = *static_cast<ModuleWalk*>(data);
    if (walk.count == walk.capacity) {
        return 1;
    }
    LoadedModule& module = walk.modules[walk.count];
    module = LoadedModule{};
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD) {
            const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
            low = start < low ? start : low;
            high = start + header.p_memsz > high ? start + header.p_memsz : high;
        } else if (header.p_type == PT_NOTE && module.buildIdSize == 0) {
            ReadBuildId(*info, header, module);
        }
    }
    unsigned char magic[SELFMAG];
    if (low >= high || !ReadOwnMemory(low, magic, sizeof magic) || magic[EI_MAG0] != ELFMAG0 ||
        magic[EI_MAG1] != ELFMAG1 || magic[EI_MAG2] != ELFMAG2 || magic[EI_MAG3] != ELFMAG3) {
        return 0;
    }
    const bool isProgram = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
    module.path = isProgram ? walk.programPath : info->dlpi_name;
    module.base = low;
    module.size = high - low;
    ReadVersion(module);
    ++walk.count;
    return 0;
}

} // namespace

std::size_t ListLoadedModules(LoadedModule* modules, std::size_t capacity,
                              const char* programPath) {
    ModuleWalk walk{modules, capacity, 0, programPath};
    ::dl_iterate_phdr(&OnModule, &walk);
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
