// crash_child <fault>: installs the crash handler, then faults. Faults:
//   null         a write through a null pointer
//   divide       an integer division by zero
//   exception    a C++ exception nobody catches
//   recursion    a recursion without end, until the stack runs out
//   abort        abort(), as an assertion or the C library's heap checks end a program
//   two-threads  a write through a null pointer, and on a second thread a division by zero as
//                soon as the report has begun ($XDG_DATA_HOME/QOR/Temp/ERRORLOG.TXT exists)
//   loader-lock  a write through a null pointer while a second thread holds the dynamic
//                loader's lock (inside dl_iterate_phdr), as a thread inside dlopen does
//   hung-report  a write through a null pointer under hooks whose reporter never returns
// Before the fault it copies /proc/self/maps to $XDG_DATA_HOME/maps.txt, from which the test
// knows which modules the report must list.
// The faults are written so that neither the compiler nor the sanitizers catch them first.
#include "app/crash/CrashReport.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <link.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int* volatile g_nothing = nullptr;
volatile int g_zero = 0;
volatile int g_dividend = 7;
volatile int g_depthLimit = 1 << 30;

__attribute__((noinline, no_sanitize("undefined"))) void WriteThroughNull() {
    *g_nothing = 1;
}

__attribute__((noinline, no_sanitize("undefined"))) int DivideByZero() {
    return g_dividend / g_zero;
}

__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth > g_depthLimit) {
        return frame[0];
    }
    return Recurse(depth + 1) + frame[0];
}

std::atomic<bool> g_secondRuns{false};

void DivideOnceTheReportBegins() {
    const std::string log = std::string(std::getenv("XDG_DATA_HOME")) + "/QOR/Temp/ERRORLOG.TXT";
    struct stat status {};
    g_secondRuns = true;
    while (::stat(log.c_str(), &status) != 0) {
    }
    DivideByZero();
}

std::atomic<bool> g_loaderLocked{false};

int HoldLoaderLock(dl_phdr_info*, std::size_t, void*) {
    g_loaderLocked = true;
    for (;;) {
        ::pause();
    }
}

void NeverReturn(const CrashFault&) {
    for (;;) {
        ::pause();
    }
}

void CopyMaps() {
    std::ifstream maps("/proc/self/maps", std::ios::binary);
    std::ofstream(std::string(std::getenv("XDG_DATA_HOME")) + "/maps.txt", std::ios::binary)
        << maps.rdbuf();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string fault = argv[1];
    if (fault == "hung-report") {
        InstallCrashHooks(&NeverReturn);
        WriteThroughNull();
        return 3;
    }
    InstallCrashHandler();
    CopyMaps();
    if (fault == "null") {
        WriteThroughNull();
    } else if (fault == "divide") {
        return DivideByZero();
    } else if (fault == "exception") {
        throw std::runtime_error("nobody catches this");
    } else if (fault == "abort") {
        std::abort();
    } else if (fault == "recursion") {
        return Recurse(0);
    } else if (fault == "two-threads") {
        std::thread second(&DivideOnceTheReportBegins);
        second.detach();
        while (!g_secondRuns) {
        }
        WriteThroughNull();
    } else if (fault == "loader-lock") {
        std::thread holder([] { ::dl_iterate_phdr(&HoldLoaderLock, nullptr); });
        holder.detach();
        while (!g_loaderLocked) {
        }
        WriteThroughNull();
    }
    return 3;
}
