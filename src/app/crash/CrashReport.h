#pragma once
// The crash report. When the program faults (a fatal signal, an uncaught C++ exception),
// "ERRORLOG.TXT" (see ErrorLog.h) and "CRASH.DMP" (see MiniDump.h) are written anew into the
// Temp folder of the per-user folders, and the report program "Mishap" beside the program is
// started with three arguments: the program's file name, its version string and the Temp folder
// (ending with "/"). Then the process ends by its fault.
//
// Everything the report needs that cannot be found out without allocating (paths, the version,
// the user's name, the local time's offset) is fixed when the handler is installed; the version
// file is read then rather than at the fault.
//
// Threads: InstallCrashHandler once on the main thread at start-up, before other threads start
// (they have no alternate stack to report a stack overflow on, see platform/CrashHooks.h).
#include "platform/CrashHooks.h"

void InstallCrashHandler();

// The report of fault: creates the Temp folder if it is missing, writes the log (if it cannot be
// created, says so on the debug output and stops), then the dump, then starts Mishap unless a
// debugger is attached. Called by the hooks on the faulting thread, once per process;
// async-signal-safe and allocates nothing.
void RecordExceptionInfo(const CrashFault& fault);
