#include "app/crash/ErrorLog.h"

#include "platform/CrashMemory.h"

#include <cstring>
#include <ctime>
#include <iterator>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace {

// Bytes shown at the instruction pointer.
constexpr int kCodeBytes = 16;
// Stack words shown at most, from the stack pointer up, and per line.
constexpr std::size_t kMaxStackWords = 3072;
constexpr std::size_t kStackWordsPerLine = 4;
// The processor type the platform reports for x86-64.
constexpr int kProcessorTypeAmd64 = 8664;
// The user part of the x86-64 address space (47 bits, less the top page), the total the
// "user address space" lines count from.
constexpr std::uint64_t kUserAddressSpace = 0x7FFFFFFFF000;
constexpr std::uint64_t kKiBPerMiB = 1024;

struct ExceptionName {
    std::uint32_t code;
    const char* text;
};

constexpr ExceptionName kExceptionNames[] = {
    {0x40010005, "a Control-C"},
    {0x40010008, "a Control-Break"},
    {0x80000002, "a Datatype Misalignment"},
    {0x80000003, "a Breakpoint"},
    {0xC0000005, "an Access Violation"},
    {0xC0000006, "an In Page Error"},
    {0xC0000017, "a No Memory"},
    {0xC000001D, "an Illegal Instruction"},
    {0xC0000025, "a Noncontinuable Exception"},
    {0xC0000026, "an Invalid Disposition"},
    {0xC000008C, "a Array Bounds Exceeded"},
    {0xC000008D, "a Float Denormal Operand"},
    {0xC000008E, "a Float Divide by Zero"},
    {0xC000008F, "a Float Inexact Result"},
    {0xC0000090, "a Float Invalid Operation"},
    {0xC0000091, "a Float Overflow"},
    {0xC0000092, "a Float Stack Check"},
    {0xC0000093, "a Float Underflow"},
    {0xC0000094, "an Integer Divide by Zero"},
    {0xC0000095, "an Integer Overflow"},
    {0xC0000096, "a Privileged Instruction"},
    {0xC00000FD, "a Stack Overflow"},
    {0xC0000142, "a DLL Initialization Failed"},
    {0xE06D7363, "a Microsoft C++ Exception"},
};

// The text for an exception code in the first line of the log ("an Access Violation").
const char* ExceptionText(std::uint32_t code) {
    for (const ExceptionName& name : kExceptionNames) {
        if (name.code == code) {
            return name.text;
        }
    }
    return "an Unknown exception type";
}

// "month/day/year hh:mm:ss" of local time. Seconds are even, as in the platform's packed file
// times the format comes from.
void WriteLocalTime(CReportText& log, std::int64_t utcSeconds, long utcOffsetSeconds) {
    constexpr std::int64_t kSecondsPerDay = 86400;
    const std::int64_t local = utcSeconds + utcOffsetSeconds;
    std::int64_t days = local / kSecondsPerDay;
    std::int64_t second = local % kSecondsPerDay;
    if (second < 0) {
        second += kSecondsPerDay;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar, eras of 400 years).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    log.Decimal(month);
    log.Text("/");
    log.Decimal(day);
    log.Text("/");
    log.Decimal(year);
    log.Text(" ");
    log.Decimal(second / 3600, -2, '0');
    log.Text(":");
    log.Decimal(second / 60 % 60, -2, '0');
    log.Text(":");
    log.Decimal(second % 60 & ~std::int64_t{1}, -2, '0');
}

std::uint64_t ProcNumber(const char* path, const char* key) {
    std::uint64_t value = 0;
    return ReadProcNumber(path, key, value) ? value : 0;
}

void WriteMegabytes(CReportText& log, std::uint64_t kib, const char* what) {
    log.Decimal(static_cast<std::int64_t>(kib / kKiBPerMiB));
    log.Text(" MBytes ");
    log.Text(what);
    log.Text(".\r\n");
}

void WriteSystem(CReportText& log, const ReportSetting& setting) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    log.Text("Error occurred at ");
    WriteLocalTime(log, now.tv_sec, setting.utcOffsetSeconds);
    log.Text(".\r\n");
    log.Text(setting.programPath);
    log.Text(", run by ");
    log.Text(setting.userName);
    log.Text(".\r\n");

    utsname system{};
    ::uname(&system);
    log.Text("Operating system:  ");
    log.Text(system.sysname);
    log.Text(" ");
    log.Text(system.release);
    log.Text(" (");
    log.Text(system.version);
    log.Text(").\r\n");
    log.Decimal(setting.processorCount);
    log.Text(" processor(s), type ");
    log.Decimal(kProcessorTypeAmd64);
    log.Text(".\r\n");

    const std::uint64_t total = ProcNumber("/proc/meminfo", "MemTotal:");
    std::uint64_t available = 0;
    if (!ReadProcNumber("/proc/meminfo", "MemAvailable:", available)) {
        available = ProcNumber("/proc/meminfo", "MemFree:");
    }
    available = available < total ? available : total;
    const std::uint64_t commitLimit = ProcNumber("/proc/meminfo", "CommitLimit:");
    const std::uint64_t committed = ProcNumber("/proc/meminfo", "Committed_AS:");
    const std::uint64_t userSpace = kUserAddressSpace / 1024;
    const std::uint64_t used = ProcNumber("/proc/self/status", "VmSize:");
    log.Decimal(total == 0 ? 0 : static_cast<std::int64_t>((total - available) * 100 / total));
    log.Text("% memory in use.\r\n");
    WriteMegabytes(log, total, "physical memory");
    WriteMegabytes(log, available, "physical memory free");
    WriteMegabytes(log, commitLimit, "paging file");
    WriteMegabytes(log, committed < commitLimit ? commitLimit - committed : 0, "paging file free");
    WriteMegabytes(log, userSpace, "user address space");
    WriteMegabytes(log, used < userSpace ? userSpace - used : 0, "user address space free");
}

// The context section: general registers three to a line, each "NAME: 0x" and its value, the
// names padded so that the columns line up. SegCs and SegSs are the low and the top 16 bits of
// REG_CSGSFS, where the kernel keeps CS and SS.
constexpr int kSegCs = -1;
constexpr int kSegSs = -2;
constexpr std::size_t kRegisterColumnWidths[] = {8, 5, 7}; // of "NAME:" and the spaces after it

struct CRegisterField {
    const char* name; // null: the line has no more
    int index;        // into gregs, or kSegCs / kSegSs
    int digits;
};

constexpr CRegisterField kRegisterLines[][3] = {
    {{"RDI", REG_RDI, 16}, {"RSI", REG_RSI, 16}, {"RAX", REG_RAX, 16}},
    {{"RBX", REG_RBX, 16}, {"RCX", REG_RCX, 16}, {"RDX", REG_RDX, 16}},
    {{"RIP", REG_RIP, 16}, {"RBP", REG_RBP, 16}, {"SegCs", kSegCs, 8}},
    {{"EFlags", REG_EFL, 8}, {"RSP", REG_RSP, 16}, {"SegSs", kSegSs, 8}},
    {{"R8", REG_R8, 16}, {"R9", REG_R9, 16}, {"R10", REG_R10, 16}},
    {{"R11", REG_R11, 16}, {"R12", REG_R12, 16}, {"R13", REG_R13, 16}},
    {{"R14", REG_R14, 16}, {"R15", REG_R15, 16}, {nullptr, 0, 0}},
};

std::uint64_t RegisterValue(const mcontext_t& machine, int index) {
    const auto segments = static_cast<std::uint64_t>(machine.gregs[REG_CSGSFS]);
    switch (index) {
    case kSegCs:
        return segments & 0xFFFF;
    case kSegSs:
        return segments >> 48;
    default:
        return static_cast<std::uint64_t>(machine.gregs[index]);
    }
}

// Without allocating: this runs in the crash handler.
void WriteRegisters(CReportText& log, const mcontext_t& machine) {
    log.Text("\r\nContext:\r\n");
    for (const auto& line : kRegisterLines) {
        if (&line != &kRegisterLines[0]) {
            log.Text("\r\n");
        }
        for (std::size_t column = 0; column < std::size(line) && line[column].name; ++column) {
            const CRegisterField& field = line[column];
            log.Text(column == 0 ? "" : "  ");
            log.Text(field.name);
            log.Text(":");
            for (std::size_t width = std::strlen(field.name) + 1;
                 width < kRegisterColumnWidths[column]; ++width) {
                log.Text(" ");
            }
            log.Text("0x");
            log.Hex(RegisterValue(machine, field.index), field.digits);
        }
    }
    log.Text("\r\n");
}

void WriteCodeBytes(CReportText& log, std::uintptr_t instruction) {
    log.Text("\r\nBytes at CS:RIP:\r\n");
    for (int i = 0; i < kCodeBytes; ++i) {
        unsigned char byte = 0;
        if (ReadOwnMemory(instruction + static_cast<std::uintptr_t>(i), &byte, 1)) {
            log.Hex(byte, 2);
            log.Text(" ");
        } else {
            log.Text("?? ");
        }
    }
}

void WriteStack(CReportText& log, std::uintptr_t stackPointer) {
    log.Text("\r\n\r\nStack:\r\n");
    std::uintptr_t begin = stackPointer;
    std::uintptr_t top = stackPointer;
    if (!FindStack(stackPointer, begin, top)) {
        log.Text("Exception encountered during stack dump.\r\n");
        return;
    }
    top = top - begin < kMaxStackWords * sizeof(std::uint64_t)
              ? top
              : begin + kMaxStackWords * sizeof(std::uint64_t);
    for (std::uintptr_t line = begin; line < top;) {
        std::uint64_t words[kStackWordsPerLine] = {};
        const std::size_t left = (top - line) / sizeof(std::uint64_t);
        const std::size_t count = left < kStackWordsPerLine ? left : kStackWordsPerLine;
        if (count == 0 || !ReadOwnMemory(line, words, count * sizeof(std::uint64_t))) {
            log.Text("Exception encountered during stack dump.\r\n");
            return;
        }
        log.Text("0x");
        log.Hex(line, 16);
        log.Text(": ");
        for (std::size_t i = 0; i < count; ++i) {
            log.Hex(words[i], 16);
            log.Text(" ");
        }
        log.Blanks(static_cast<int>((kStackWordsPerLine - count) * 17));
        const auto* bytes = reinterpret_cast<const unsigned char*>(words);
        for (std::size_t i = 0; i < count * sizeof(std::uint64_t); ++i) {
            log.Unit(bytes[i] < 32 || bytes[i] >= 127 ? u'.' : static_cast<char16_t>(bytes[i]));
        }
        log.Text("\r\n");
        line += count * sizeof(std::uint64_t);
    }
    log.Text("\r\n");
}

void WriteVersion(CReportText& log, const char* label, const LoadedModule& module) {
    log.Text(label);
    for (int i = 0; i < 4; ++i) {
        log.Decimal(module.version[i]);
        log.Text(i < 3 ? "." : "\r\n");
    }
}

void WriteModule(CReportText& log, int number, const LoadedModule& module,
                 const ReportSetting& setting) {
    struct stat file {};
    const bool hasFile = ::stat(module.path, &file) == 0;
    log.Text("Module ");
    log.Decimal(number);
    log.Text("\r\n");
    log.Text(module.path);
    log.Text("\r\nImage Base: 0x");
    log.Hex(module.base, 16);
    log.Text("  Image Size: 0x");
    log.Hex(module.size, 16);
    // An ELF file has no header checksum; its time stamp is the file's modification time.
    log.Text("\r\nChecksum:   0x");
    log.Hex(0, 8);
    log.Text("  Time Stamp: 0x");
    log.Hex(hasFile ? static_cast<std::uint32_t>(file.st_mtime) : 0, 8);
    log.Text("\r\nFile Size:  ");
    log.Decimal(hasFile ? file.st_size : 0, 10);
    log.Text("  File Time:  ");
    if (hasFile) {
        WriteLocalTime(log, file.st_mtime, setting.utcOffsetSeconds);
    } else {
        log.Text("Unknown");
    }
    log.Text("\r\nVersion Information:\r\n");
    log.Text("   Company:    \r\n");
    log.Text("   Product:    \r\n");
    log.Text("   FileDesc:   \r\n");
    WriteVersion(log, "   FileVer:    ", module);
    WriteVersion(log, "   ProdVer:    ", module);
    if (!module.hasVersion && module.buildIdSize > 0) {
        log.Text("   BuildId:    ");
        for (std::size_t i = 0; i < module.buildIdSize; ++i) {
            log.Hex(module.buildId[i], 2);
        }
        log.Text("\r\n");
    }
    log.Text("\r\n");
}

} // namespace

void WriteErrorLog(CReportText& log, const CrashFault& fault, const ReportSetting& setting,
                   const LoadedModule* modules, std::size_t moduleCount) {
    const mcontext_t& machine = fault.context->uc_mcontext;
    const auto instruction = static_cast<std::uintptr_t>(machine.gregs[REG_RIP]);
    const LoadedModule* module = FindModule(modules, moduleCount, instruction);
    log.Text(setting.programName);
    log.Text(" caused ");
    log.Text(ExceptionText(fault.code));
    log.Text(" (0x");
    log.Hex(fault.code, 8);
    log.Text(") \r\nin module ");
    log.Text(module != nullptr ? FileNamePart(module->path) : "Unknown");
    log.Text(" at ");
    log.Hex(static_cast<std::uint64_t>(machine.gregs[REG_CSGSFS]) & 0xFFFF, 4);
    log.Text(":");
    log.Hex(instruction, 16);
    log.Text(".\r\n\r\n");
    log.Text("Exception handler called in RecordExceptionInfo.\r\n");
    WriteSystem(log, setting);
    if (fault.code == kCodeAccessViolation) {
        log.Text(fault.accessKind == kAccessWrite ? "Write to" : "Read from");
        log.Text(" location ");
        log.Hex(fault.faultAddress, 16);
        log.Text(" caused an access violation.\r\n");
    }
    WriteRegisters(log, machine);
    WriteCodeBytes(log, instruction);
    WriteStack(log, static_cast<std::uintptr_t>(machine.gregs[REG_RSP]));
    for (std::size_t i = 0; i < moduleCount; ++i) {
        WriteModule(log, static_cast<int>(i + 1), modules[i], setting);
    }
    log.Text("\r\n===== [end of ");
    log.Text(kErrorLogName);
    log.Text("] =====\r\n");
}
