#pragma once
// Looking at the process's own memory and /proc files from a crash handler, where the memory may
// be anything: a plain dereference of a bad address would fault again inside the handler. Every
// call here is async-signal-safe and allocates nothing.
//
// Threads: any, also inside a signal handler. PrepareCrashMemory once on the main thread before
// a handler may need the fallback reader (InstallCrashHooks calls it).
#include <cstddef>
#include <cstdint>

// Readies the fallback reader for systems that refuse process_vm_readv on the process itself.
void PrepareCrashMemory();

// Copies size bytes at address into out; false when any of them cannot be read.
bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size);

// One line of /proc/self/maps.
struct MemoryMapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    bool readable = false;
    std::uint64_t offset = 0; // into the mapped file
    // The mapped file's path, a name in brackets ("[stack]") or "" for anonymous memory. Points
    // into the reader's buffer: valid only during the visit.
    const char* path = "";
};

// Calls visit with each mapping of /proc/self/maps, in address order, until it returns false.
// A line too long for the reader's buffer is skipped. False when the map cannot be read.
using MappingVisitor = bool (*)(const MemoryMapping& mapping, void* context);
bool ForEachMapping(MappingVisitor visit, void* context);

// The mapping that contains address; false when none does or the map cannot be read.
bool FindMapping(std::uintptr_t address, MemoryMapping& mapping);

// How far past its stack's end a thread's stack pointer may be found after a stack overflow: a
// push or call faults right at the end, and stack-clash probing touches each page in turn.
inline constexpr std::uintptr_t kStackOverflowReach = 64 * 1024;

// The readable stack from stackPointer up: [begin, end) of the mapping that holds it, begin
// being stackPointer. After a stack overflow the pointer may lie below its stack; the stack is
// then the first mapping within kStackOverflowReach above it, from its start. False when there
// is neither.
bool FindStack(std::uintptr_t stackPointer, std::uintptr_t& begin, std::uintptr_t& end);

// The number after "key" (say "TracerPid:" or "MemAvailable:") in a /proc file of "key value"
// lines; false when the file or the key is missing.
bool ReadProcNumber(const char* path, const char* key, std::uint64_t& value);
