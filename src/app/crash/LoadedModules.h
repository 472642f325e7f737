#pragma once
// The executable and the shared objects mapped into the process, as the crash report lists them
// (the error log's module section, the dump's module list). Gathered from the dynamic loader's
// list into a fixed array: nothing allocates, so a crash handler may call it.
//
// Threads: any; the loader's list lock is taken while the list is walked.
#include <cstddef>
#include <cstdint>

// Modules the report lists at most; a desktop process maps about 150 objects.
inline constexpr std::size_t kMaxLoadedModules = 1024;

struct LoadedModule {
    static constexpr std::size_t kMaxBuildId = 32;

    const char* path = nullptr; // the loader's name; the executable's own path for the program
    std::uintptr_t base = 0;    // lowest loaded address
    std::uintptr_t size = 0;    // from base to the end of the highest loaded segment
    unsigned char buildId[kMaxBuildId] = {};
    std::size_t buildIdSize = 0;
    // Up to four numbers after ".so." in the file name ("libavcodec.so.59.37.100"); zeros when
    // the name carries none.
    std::uint16_t version[4] = {};
    bool hasVersion = false;
};

// Fills modules with the loaded objects whose ELF header is readable at their base, at most
// capacity of them, in the loader's order (the program first); returns how many.
// programPath names the program, which the loader lists without a name.
std::size_t ListLoadedModules(LoadedModule* modules, std::size_t capacity, const char* programPath);

// The module that holds address, or nullptr.
const LoadedModule* FindModule(const LoadedModule* modules, std::size_t count,
                               std::uintptr_t address);

// The part of path after its last "/".
const char* FileNamePart(const char* path);
