#include "platform/CrashHooks.h"

#include "platform/CrashMemory.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <exception>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};

// Room for the handler and the reporter it calls (formatting, the module walk, the sanitizers'
// larger frames), on the alternate stack that still works once the thread's own stack is gone.
constexpr std::size_t kAlternateStackSize = 256 * 1024;

// The whole report's time, from the fault to the fault's own end of the process: past it
// SIGALRM ends the process by its default action. A report takes well under a second (the
// modules' files stat()ed, a dump of some 100 KiB, one fork); 15 s leaves room for a loaded
// machine, a sanitizer build and a slow network home, and stays short enough that a user facing
// a frozen window does not wait for a report that will never finish (a stuck file system, a lock
// the fault left held).
constexpr unsigned kReportSeconds = 15;
// How long a fault on another thread waits for the report in progress, which ends the process
// when done: past the report's own limit, so that the watchdog, not this wait, ends a report
// that hangs.
constexpr time_t kSecondFaultWaitSeconds = kReportSeconds + 5;

// Page-fault error code bits the kernel leaves in the context (x86-64).
constexpr greg_t kPageFaultWrite = 0x2;
constexpr greg_t kPageFaultInstructionFetch = 0x10;

std::atomic<CrashReporter> g_reporter{nullptr};
// The thread whose fault is being reported; 0 until the first fault.
std::atomic<pid_t> g_reportingThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free);
alignas(16) char g_alternateStack[kAlternateStackSize];
// The C++ library's own handler, which names the exception on stderr and aborts.
std::terminate_handler g_previousTerminate = nullptr;

pid_t CurrentThreadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

void FillWithFatalSignals(sigset_t& set) {
    sigemptyset(&set);
    for (const int signal : kFatalSignals) {
        sigaddset(&set, signal);
    }
}

// Ends the process kReportSeconds from now, whatever the report is doing. The alarm goes to
// the process: its default action ends every thread, wherever it is delivered; this thread
// unblocks it in case no other thread takes it (threads of the sound library block it).
void StartReportWatchdog() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    ::alarm(kReportSeconds);
}

// True for the first fault of the process, whose report the watchdog then limits. A later fault
// of another thread waits here while the first is reported.
bool TakeReport() {
    pid_t expected = 0;
    const pid_t self = CurrentThreadId();
    if (g_reportingThread.compare_exchange_strong(expected, self)) {
        StartReportWatchdog();
        return true;
    }
    if (expected != self) {
        timespec remaining{kSecondFaultWaitSeconds, 0};
        while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
    return false;
}

// A segmentation fault this close to the stack pointer is the stack running out.
bool IsStackOverflow(std::uintptr_t address, std::uintptr_t stackPointer) {
    const std::uintptr_t distance =
        address > stackPointer ? address - stackPointer : stackPointer - address;
    MemoryMapping mapping;
    // A stack pointer outside every mapping has already left its stack.
    return distance <= kStackOverflowReach || !FindMapping(stackPointer, mapping);
}

std::uint32_t FloatingPointCode(int code) {
    switch (code) {
    case FPE_INTDIV:
        return kCodeIntegerDivideByZero;
    case FPE_INTOVF:
        return kCodeIntegerOverflow;
    case FPE_FLTDIV:
        return kCodeFloatDivideByZero;
    case FPE_FLTOVF:
        return kCodeFloatOverflow;
    case FPE_FLTUND:
        return kCodeFloatUnderflow;
    case FPE_FLTRES:
        return kCodeFloatInexactResult;
    default:
        return kCodeFloatInvalidOperation;
    }
}

CrashFault ClassifySignal(int signal, const siginfo_t& info, const ucontext_t& context) {
    CrashFault fault;
    fault.signal = signal;
    fault.context = &context;
    fault.threadId = CurrentThreadId();
    const greg_t* registers = context.uc_mcontext.gregs;
    switch (signal) {
    case SIGSEGV: {
        // A segmentation fault sent by kill() touched nothing: no address, no error code.
        if (info.si_code <= 0) {
            fault.code = kCodeAccessViolation;
            break;
        }
        fault.faultAddress = reinterpret_cast<std::uintptr_t>(info.si_addr);
        const auto stackPointer = static_cast<std::uintptr_t>(registers[REG_RSP]);
        if (IsStackOverflow(fault.faultAddress, stackPointer)) {
            fault.code = kCodeStackOverflow;
            break;
        }
        fault.code = kCodeAccessViolation;
        const greg_t error = registers[REG_ERR];
        fault.accessKind = (error & kPageFaultInstructionFetch) != 0 ? kAccessExecute
                           : (error & kPageFaultWrite) != 0          ? kAccessWrite
                                                                     : kAccessRead;
        break;
    }
    case SIGBUS:
        fault.code = info.si_code == BUS_ADRALN ? kCodeDatatypeMisalignment : kCodeInPageError;
        break;
    case SIGFPE:
        fault.code = FloatingPointCode(info.si_code);
        break;
    case SIGILL:
        fault.code = info.si_code == ILL_PRVOPC || info.si_code == ILL_PRVREG
                         ? kCodePrivilegedInstruction
                         : kCodeIllegalInstruction;
        break;
    case SIGTRAP:
        fault.code = kCodeBreakpoint;
        break;
    default:
        fault.code = kCodeAbort;
        break;
    }
    return fault;
}

void RestoreDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// Async-signal-safe only; runs with every fatal signal blocked (the action's mask).
void OnFatalSignal(int signal, siginfo_t* info, void* context) {
    if (TakeReport()) {
        g_reporter.load()(ClassifySignal(signal, *info, *static_cast<const ucontext_t*>(context)));
    }
    RestoreDefault(signal);
    // Pending until the handler returns, then the default action ends the process. A fault the
    // hardware raised would recur by itself, a breakpoint or a sent signal would not.
    ::syscall(SYS_tgkill, ::getpid(), CurrentThreadId(), signal);
}

[[noreturn]] void OnTerminate() {
    sigset_t fatal;
    FillWithFatalSignals(fatal);
    ::pthread_sigmask(SIG_BLOCK, &fatal, nullptr);
    if (TakeReport()) {
        ucontext_t context;
        ::getcontext(&context);
        CrashFault fault;
        fault.code = std::current_exception() != nullptr ? kCodeCppException : kCodeAbort;
        fault.context = &context;
        fault.threadId = CurrentThreadId();
        g_reporter.load()(fault);
    }
    RestoreDefault(SIGABRT);
    sigset_t abortOnly;
    sigemptyset(&abortOnly);
    sigaddset(&abortOnly, SIGABRT);
    ::pthread_sigmask(SIG_UNBLOCK, &abortOnly, nullptr);
    if (g_previousTerminate != nullptr) {
        g_previousTerminate();
    }
    std::abort();
}

} // namespace

void InstallCrashHooks(CrashReporter reporter) {
    CrashReporter none = nullptr;
    if (reporter == nullptr || !g_reporter.compare_exchange_strong(none, reporter)) {
        return;
    }
    PrepareCrashMemory();
    stack_t stack{};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof g_alternateStack;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    FillWithFatalSignals(action.sa_mask);
    for (const int signal : kFatalSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    g_previousTerminate = std::set_terminate(&OnTerminate);
}
