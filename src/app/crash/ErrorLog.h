#pragma once
// The text of "ERRORLOG.TXT": what faulted and where, the system, the registers, the code at the
// instruction pointer, the stack and the loaded modules, in that order. Written from the crash
// handler: async-signal-safe, no allocation, and memory the fault may have spoiled is only ever
// read through ReadOwnMemory.
#include "app/crash/LoadedModules.h"
#include "app/crash/ReportText.h"
#include "platform/CrashHooks.h"

// The log's file name in the Temp folder, which its last line names too.
inline constexpr const char* kErrorLogName = "ERRORLOG.TXT";

// What the report says about the program and the machine, fixed when the handler is installed
// because finding it out allocates.
struct ReportSetting {
    const char* programPath = "Unknown";
    const char* programName = "Unknown"; // file name without extension
    const char* userName = "Unknown";
    long utcOffsetSeconds = 0; // of local time, at installation
    long processorCount = 1;
};

void WriteErrorLog(CReportText& log, const CrashFault& fault, const ReportSetting& setting,
                   const LoadedModule* modules, std::size_t moduleCount);
