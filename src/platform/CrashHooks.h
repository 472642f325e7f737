#pragma once
// Hooks that turn a fatal fault of the program into one call of a crash reporter: the fatal
// signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT) and std::terminate (an uncaught C++
// exception). Each fault is given the exception code the report names it by.
//
// The reporter runs on the faulting thread, inside a signal handler (or the terminate handler),
// at most once per process: it may use only async-signal-safe calls and must not allocate. While
// it runs every fatal signal is blocked on that thread, so a fault inside the reporter ends the
// process at once; a fault on another thread meanwhile waits until the report is done, so that
// it cannot cut the report short, and then writes nothing. A watchdog limits the report: if the
// process has not ended 15 s after the first fault (a report stuck on a lock or a file system),
// SIGALRM ends it by its default action. After the
// reporter returns the fault takes its default action: the process ends by the same signal (a
// debugger sees it), or after std::terminate by the terminate handler that was there before
// (the C++ library's names the exception on stderr) and SIGABRT.
//
// Signals are handled on an alternate stack of the thread that installs the hooks (the main
// thread), so a stack overflow there is reported too. Other threads have no alternate stack: an
// overflow of theirs ends the process without a report.
//
// Threads: InstallCrashHooks on the main thread, once, at start-up; after the sanitizers' own
// handlers (which run before main), so the program's hooks replace them.
#include <cstdint>
#include <sys/types.h>
#include <ucontext.h>

// Exception codes of the faults the hooks report.
inline constexpr std::uint32_t kCodeAccessViolation = 0xC0000005;
inline constexpr std::uint32_t kCodeInPageError = 0xC0000006;
inline constexpr std::uint32_t kCodeIllegalInstruction = 0xC000001D;
inline constexpr std::uint32_t kCodeIntegerDivideByZero = 0xC0000094;
inline constexpr std::uint32_t kCodeIntegerOverflow = 0xC0000095;
inline constexpr std::uint32_t kCodeFloatDivideByZero = 0xC000008E;
inline constexpr std::uint32_t kCodeFloatOverflow = 0xC0000091;
inline constexpr std::uint32_t kCodeFloatUnderflow = 0xC0000093;
inline constexpr std::uint32_t kCodeFloatInexactResult = 0xC000008F;
inline constexpr std::uint32_t kCodeFloatInvalidOperation = 0xC0000090;
inline constexpr std::uint32_t kCodePrivilegedInstruction = 0xC0000096;
inline constexpr std::uint32_t kCodeStackOverflow = 0xC00000FD;
inline constexpr std::uint32_t kCodeBreakpoint = 0x80000003;
inline constexpr std::uint32_t kCodeDatatypeMisalignment = 0x80000002;
inline constexpr std::uint32_t kCodeCppException = 0xE06D7363;
// abort(): an assertion, the C library's heap checks, a stack-protector hit, std::terminate
// without an exception. The code the platform reports for a fail-fast exit.
inline constexpr std::uint32_t kCodeAbort = 0xC0000409;

// Access kinds of an access violation, as its first parameter gives them.
inline constexpr std::uint32_t kAccessRead = 0;
inline constexpr std::uint32_t kAccessWrite = 1;
inline constexpr std::uint32_t kAccessExecute = 8;

struct CrashFault {
    std::uint32_t code = 0;
    int signal = 0;                      // 0 after std::terminate
    std::uint32_t accessKind = 0;        // access violations only
    std::uintptr_t faultAddress = 0;     // the address an access violation touched
    const ucontext_t* context = nullptr; // the faulting thread's registers; never null
    pid_t threadId = 0;
};

using CrashReporter = void (*)(const CrashFault& fault);

// Installs the hooks; a second call changes nothing.
void InstallCrashHooks(CrashReporter reporter);
