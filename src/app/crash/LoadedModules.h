#pragma once
// The executable and the shared objects mapped into the process, as the crash report lists them
// (the error log's module section, the dump's module list). Read from /proc/self/maps, not from
// the dynamic loader's list: walking that takes the loader's lock, which a thread inside dlopen
// may hold while the process faults. Nothing here allocates or takes a lock, so a crash handler
// may call it.
//
// Threads: any, one caller at a time per module array and name buffer.
#include <cstddef>
#include <cstdint>

// Modules the report lists at most; a desktop process maps about 150 objects.
inline constexpr std::size_t kMaxLoadedModules = 1024;
// Bytes of the module paths together: 1024 paths of 128 bytes.
inline constexpr std::size_t kLoadedModuleNamesSize = 128 * 1024;

struct LoadedModule {
    static constexpr std::size_t kMaxBuildId = 32;

    const char* path = nullptr; // the mapped file's path, kept in the caller's name buffer
    std::uintptr_t base = 0;    // where its ELF header is mapped
    std::uintptr_t size = 0;    // from base to the end of the highest loaded segment
    unsigned char buildId[kMaxBuildId] = {};
    std::size_t buildIdSize = 0;
    // Up to four numbers after ".so." in the file name ("libavcodec.so.59.37.100"); zeros when
    // the name carries none.
    std::uint16_t version[4] = {};
    bool hasVersion = false;
};

// Fills modules with the mapped files that hold an ELF header at their start (file offset 0),
// at most capacity of them: programPath's first, the others in address order; returns how many.
// Their paths are copied into names (namesSize bytes); a module whose path no longer fits is
// left out.
std::size_t ListLoadedModules(LoadedModule* modules, std::size_t capacity, char* names,
                              std::size_t namesSize, const char* programPath);

// The module that holds address, or nullptr.
const LoadedModule* FindModule(const LoadedModule* modules, std::size_t count,
                               std::uintptr_t address);

// The part of path after its last "/".
const char* FileNamePart(const char* path);
