#include "app/crash/CrashReport.h"

#include "app/VersionFile.h"
#include "app/crash/ErrorLog.h"
#include "app/crash/LoadedModules.h"
#include "app/crash/MiniDump.h"
#include "app/crash/ReportText.h"
#include "core/AppFolder.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"
#include "platform/CrashMemory.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr const char* kMishapName = "Mishap";
constexpr const char* kDebugOutputVariable = "QOR_DEBUG_OUTPUT";
// Room for a path and a file name added to it.
constexpr std::size_t kPathCapacity = PATH_MAX + 64;
constexpr std::size_t kNameCapacity = 256;

// Fixed at installation, read by the handler.
struct PreparedReport {
    char programPath[kPathCapacity];
    char programName[kNameCapacity];
    char programFileName[kNameCapacity];
    char userName[kNameCapacity];
    char version[kNameCapacity];
    char tempFolder[kPathCapacity];
    char logPath[kPathCapacity];
    char dumpPath[kPathCapacity];
    char mishapPath[kPathCapacity];
    char* mishapArguments[5];
    bool debugOutput;
    ReportSetting setting;
};

PreparedReport g_prepared;
// Used by the handler alone.
CReportText g_log;
LoadedModule g_modules[kMaxLoadedModules];
char g_moduleNames[kLoadedModuleNamesSize];
char g_folderScratch[kPathCapacity];

// Copies text, cut to the capacity, with its terminating zero.
void Copy(char* target, std::size_t capacity, const std::string& text) {
    const std::size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(target, length);
    target[length] = '\0';
}

std::string UserName() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return entry.pw_name;
    }
    const char* variable = std::getenv("USER");
    return variable != nullptr && variable[0] != '\0' ? variable : "Unknown";
}

void DebugOutput(const char* text) {
    if (!g_prepared.debugOutput) {
        return;
    }
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
}

// mkdir of each prefix of folder that ends with "/", for the user alone as the other data folders.
void CreateFolders(const char* folder) {
    std::size_t i = 0;
    for (; folder[i] != '\0' && i + 1 < sizeof g_folderScratch; ++i) {
        g_folderScratch[i] = folder[i];
        if (folder[i] == '/' && i > 0) {
            g_folderScratch[i] = '\0';
            ::mkdir(g_folderScratch, 0700);
            g_folderScratch[i] = '/';
        }
    }
}

bool IsDebuggerAttached() {
    std::uint64_t tracer = 0;
    return ReadProcNumber("/proc/self/status", "TracerPid:", tracer) && tracer != 0;
}

// Starts Mishap and leaves it running; a failure is silent.
void StartMishap() {
    // The fork system call itself: the C library's fork runs the program's fork handlers and
    // takes the allocator's locks, which the faulting thread may hold.
    if (::syscall(SYS_fork) != 0) {
        return;
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // The program's own descriptors are not Mishap's business.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(g_prepared.mishapPath, g_prepared.mishapArguments, environ);
    ::_exit(127);
}

} // namespace

void InstallCrashHandler() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    const CAppFolder folders;
    PreparedReport& prepared = g_prepared;
    const std::string program = PathToBytes(ExecutablePath());
    const std::string fileName =
        program.empty() ? "Unknown" : program.substr(program.rfind('/') + 1);
    const std::size_t dot = fileName.rfind('.');
    Copy(prepared.programPath, kPathCapacity, program.empty() ? "Unknown" : program);
    Copy(prepared.programFileName, kNameCapacity, fileName);
    Copy(prepared.programName, kNameCapacity,
         dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot));
    Copy(prepared.userName, kNameCapacity, UserName());
    Copy(prepared.version, kNameCapacity, WideToUtf8(ReadProgramVersion()));
    const std::string temp = PathToBytes(folders.GetTempFolder());
    Copy(prepared.tempFolder, kPathCapacity, temp);
    Copy(prepared.logPath, kPathCapacity, temp + kErrorLogName);
    Copy(prepared.dumpPath, kPathCapacity, temp + kMiniDumpName);
    Copy(prepared.mishapPath, kPathCapacity, PathToBytes(folders.GetProgramFolder()) + kMishapName);
    prepared.mishapArguments[0] = prepared.mishapPath;
    prepared.mishapArguments[1] = prepared.programFileName;
    prepared.mishapArguments[2] = prepared.version;
    prepared.mishapArguments[3] = prepared.tempFolder;
    prepared.mishapArguments[4] = nullptr;
    prepared.debugOutput = std::getenv(kDebugOutputVariable) != nullptr;

    const time_t now = ::time(nullptr);
    tm local{};
    ::localtime_r(&now, &local);
    prepared.setting.programPath = prepared.programPath;
    prepared.setting.programName = prepared.programName;
    prepared.setting.userName = prepared.userName;
    prepared.setting.utcOffsetSeconds = local.tm_gmtoff;
    prepared.setting.processorCount = ::sysconf(_SC_NPROCESSORS_ONLN);

    InstallCrashHooks(&RecordExceptionInfo);
}

void RecordExceptionInfo(const CrashFault& fault) {
    CreateFolders(g_prepared.tempFolder);
    if (!g_log.Create(g_prepared.logPath)) {
        DebugOutput("Error creating exception report\r\n");
        return;
    }
    const std::size_t moduleCount = ListLoadedModules(g_modules, kMaxLoadedModules, g_moduleNames,
                                                      sizeof g_moduleNames, g_prepared.programPath);
    WriteErrorLog(g_log, fault, g_prepared.setting, g_modules, moduleCount);
    g_log.Close();

    const int dump = CreateCrashFile(g_prepared.dumpPath);
    if (dump >= 0) {
        DebugOutput("writing minidump\r\n");
        WriteMiniDump(dump, fault, g_prepared.setting.processorCount, g_modules, moduleCount);
        ::close(dump);
    }
    if (!IsDebuggerAttached()) {
        StartMishap();
    }
}
