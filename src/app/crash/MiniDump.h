#pragma once
// "CRASH.DMP": a minidump in the standard format that debuggers and crash tools read, of our own
// writing: the header and stream directory, system information, the exception, a thread list
// with the faulting thread alone (its registers and the stack above its stack pointer; other
// threads cannot be stopped from a signal handler), the same stack memory in a memory list, and
// the module list with build ids as CodeView records of the "BpEL" form.
//
// Written from the crash handler: async-signal-safe, no allocation; memory is read through
// ReadOwnMemory.
#include "app/crash/LoadedModules.h"
#include "platform/CrashHooks.h"

inline constexpr const char* kMiniDumpName = "CRASH.DMP";

// Writes the dump into the empty file fd; false when a write failed.
bool WriteMiniDump(int fd, const CrashFault& fault, long processorCount,
                   const LoadedModule* modules, std::size_t moduleCount);
