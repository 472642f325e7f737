#include "app/crash/MiniDump.h"

#include "app/crash/ReportText.h"
#include "platform/CrashMemory.h"

#include <cpuid.h>
#include <ctime>
#include <initializer_list>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kSignature = 0x504D444D; // "MDMP"
constexpr std::uint32_t kFormatVersion = 0xA793; // the format's version, in the low word
constexpr std::uint32_t kThreadListStream = 3;
constexpr std::uint32_t kModuleListStream = 4;
constexpr std::uint32_t kMemoryListStream = 5;
constexpr std::uint32_t kExceptionStream = 6;
constexpr std::uint32_t kSystemInfoStream = 7;
constexpr std::uint32_t kStreamCount = 5;
constexpr std::uint16_t kArchitectureAmd64 = 9;
constexpr std::uint32_t kPlatformLinux = 0x8201;        // the platform id crash tools use for Linux
constexpr std::uint32_t kContextAmd64Full = 0x0010000F; // control, integer, segments, float
constexpr std::uint32_t kCodeViewBuildId = 0x4C457042;  // "BpEL": an ELF build id follows
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedFileInfoVersion = 0x00010000;
// The stack below the stack pointer that leaf functions may use without moving it.
constexpr std::uintptr_t kRedZone = 128;
// Stack bytes kept above the stack pointer: the frames a debugger unwinds first.
constexpr std::uintptr_t kMaxStackBytes = 64 * 1024;
// Bytes moved through the stack buffer at a time.
constexpr std::size_t kCopyChunk = 4096;
// UTF-16 units of the longest module name kept.
constexpr std::size_t kMaxNameUnits = 4096;

#pragma pack(push, 4)
struct Location {
    std::uint32_t size;
    std::uint32_t rva;
};
struct Header {
    std::uint32_t signature;
    std::uint32_t version;
    std::uint32_t streamCount;
    std::uint32_t directoryRva;
    std::uint32_t checksum;
    std::uint32_t timeStamp;
    std::uint64_t flags;
};
struct DirectoryEntry {
    std::uint32_t type;
    Location location;
};
struct MemoryDescriptor {
    std::uint64_t start;
    Location memory;
};
struct Thread {
    std::uint32_t id;
    std::uint32_t suspendCount;
    std::uint32_t priorityClass;
    std::uint32_t priority;
    std::uint64_t teb;
    MemoryDescriptor stack;
    Location context;
};
struct ExceptionRecord {
    std::uint32_t code;
    std::uint32_t flags;
    std::uint64_t record;
    std::uint64_t address;
    std::uint32_t parameterCount;
    std::uint32_t unused;
    std::uint64_t parameters[15];
};
struct ExceptionStream {
    std::uint32_t threadId;
    std::uint32_t alignment;
    ExceptionRecord exception;
    Location context;
};
struct FixedFileInfo {
    std::uint32_t signature;
    std::uint32_t structVersion;
    std::uint32_t fileVersionHigh;
    std::uint32_t fileVersionLow;
    std::uint32_t productVersionHigh;
    std::uint32_t productVersionLow;
    std::uint32_t flagsMask;
    std::uint32_t flags;
    std::uint32_t os;
    std::uint32_t type;
    std::uint32_t subtype;
    std::uint32_t dateHigh;
    std::uint32_t dateLow;
};
struct Module {
    std::uint64_t base;
    std::uint32_t size;
    std::uint32_t checksum;
    std::uint32_t timeStamp;
    std::uint32_t nameRva;
    FixedFileInfo version;
    Location codeView;
    Location misc;
    std::uint64_t reserved0;
    std::uint64_t reserved1;
};
struct SystemInfo {
    std::uint16_t architecture;
    std::uint16_t level;
    std::uint16_t revision;
    std::uint8_t processorCount;
    std::uint8_t productType;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    std::uint32_t csdVersionRva;
    std::uint16_t suiteMask;
    std::uint16_t reserved;
    std::uint32_t vendorId[3];
    std::uint32_t versionInformation;
    std::uint32_t featureInformation;
    std::uint32_t amdExtendedFeatures;
};
// The x86-64 thread context of the format.
struct Context {
    std::uint64_t homes[6];
    std::uint32_t contextFlags;
    std::uint32_t mxCsr;
    std::uint16_t segCs, segDs, segEs, segFs, segGs, segSs;
    std::uint32_t eflags;
    std::uint64_t debugRegisters[6];
    std::uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip;
    unsigned char floatingSave[512]; // the FXSAVE area
    unsigned char vectorRegisters[26 * 16];
    std::uint64_t vectorControl;
    std::uint64_t branchRecords[5];
};
#pragma pack(pop)
static_assert(sizeof(Header) == 32 && sizeof(DirectoryEntry) == 12);
static_assert(sizeof(Thread) == 48 && sizeof(ExceptionStream) == 168);
static_assert(sizeof(Module) == 108 && sizeof(SystemInfo) == 56);
static_assert(sizeof(Context) == 1232 && sizeof(_libc_fpstate) == 512);

// Sequential writes that remember where they are and whether one failed.
class CDumpFile {
public:
    explicit CDumpFile(int fd) : m_fd(fd) {}

    std::uint32_t Position() const { return m_position; }
    bool Ok() const { return m_ok; }

    void Write(const void* data, std::size_t size) {
        const auto* next = static_cast<const char*>(data);
        std::size_t left = size;
        while (m_ok && left > 0) {
            const ssize_t written = ::write(m_fd, next, left);
            m_ok = written > 0;
            next += m_ok ? written : 0;
            left -= m_ok ? static_cast<std::size_t>(written) : left;
        }
        m_position += static_cast<std::uint32_t>(size);
    }

    void Align() {
        const std::uint32_t zero = 0;
        Write(&zero, (4 - m_position % 4) % 4);
    }

    void WriteAt(std::uint32_t position, const void* data, std::size_t size) {
        m_ok = m_ok && ::pwrite(m_fd, data, size, position) == static_cast<ssize_t>(size);
    }

private:
    int m_fd;
    std::uint32_t m_position = 0;
    bool m_ok = true;
};

char16_t g_nameUnits[kMaxNameUnits];
std::uint32_t g_nameRvas[kMaxLoadedModules];
Location g_codeViews[kMaxLoadedModules];
unsigned char g_copyBuffer[kCopyChunk];

// A length-prefixed, zero-terminated UTF-16 string; returns its position.
std::uint32_t WriteString(CDumpFile& file, const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    std::uint32_t units = 0;
    while (length > 0 && units + 2 < kMaxNameUnits) {
        units += static_cast<std::uint32_t>(NextUtf16(text, length, g_nameUnits + units));
    }
    g_nameUnits[units] = 0;
    file.Align();
    const std::uint32_t rva = file.Position();
    const std::uint32_t bytes = units * 2;
    file.Write(&bytes, sizeof bytes);
    file.Write(g_nameUnits, bytes + 2);
    return rva;
}

// Copies size bytes at address into the file; what cannot be read is written as zeros.
Location WriteMemory(CDumpFile& file, std::uintptr_t address, std::uint32_t size) {
    file.Align();
    const Location location{size, file.Position()};
    for (std::uint32_t done = 0; done < size;) {
        const std::uint32_t chunk = size - done < kCopyChunk ? size - done : kCopyChunk;
        if (!ReadOwnMemory(address + done, g_copyBuffer, chunk)) {
            for (std::uint32_t i = 0; i < chunk; ++i) {
                g_copyBuffer[i] = 0;
            }
        }
        file.Write(g_copyBuffer, chunk);
        done += chunk;
    }
    return location;
}

std::uint32_t ParseNumber(const char*& text) {
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<std::uint32_t>(*text - '0');
    }
    return value;
}

Location WriteSystemInfo(CDumpFile& file, long processorCount) {
    utsname system{};
    ::uname(&system);
    // The kernel's name, release, version and machine, as crash tools expect them here.
    char description[sizeof system.sysname * 4 + 4] = {};
    std::size_t used = 0;
    for (const char* part : {system.sysname, system.release, system.version, system.machine}) {
        for (const char* c = part; *c != '\0' && used + 2 < sizeof description; ++c) {
            description[used++] = *c;
        }
        description[used++] = ' ';
    }
    description[used - 1] = '\0';

    SystemInfo info{};
    info.csdVersionRva = WriteString(file, description);
    info.architecture = kArchitectureAmd64;
    info.processorCount = static_cast<std::uint8_t>(processorCount < 255 ? processorCount : 255);
    info.platformId = kPlatformLinux;
    const char* release = system.release;
    info.majorVersion = ParseNumber(release);
    release += *release == '.' ? 1 : 0;
    info.minorVersion = ParseNumber(release);
    release += *release == '.' ? 1 : 0;
    info.buildNumber = ParseNumber(release);
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0) {
        info.vendorId[0] = ebx;
        info.vendorId[1] = edx;
        info.vendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        info.versionInformation = eax;
        info.featureInformation = edx;
        const unsigned family = (eax >> 8) & 0xF;
        const unsigned model = (eax >> 4) & 0xF;
        info.level =
            static_cast<std::uint16_t>(family == 0xF ? family + ((eax >> 20) & 0xFF) : family);
        info.revision = static_cast<std::uint16_t>(
            ((family >= 6 ? model | ((eax >> 12) & 0xF0) : model) << 8) | (eax & 0xF));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0) {
        info.amdExtendedFeatures = edx;
    }
    file.Align();
    const Location location{sizeof info, file.Position()};
    file.Write(&info, sizeof info);
    return location;
}

Location WriteContext(CDumpFile& file, const ucontext_t& source) {
    const greg_t* reg = source.uc_mcontext.gregs;
    const auto value = [reg](int index) { return static_cast<std::uint64_t>(reg[index]); };
    Context context{};
    context.contextFlags = kContextAmd64Full;
    const std::uint64_t segments = value(REG_CSGSFS);
    context.segCs = static_cast<std::uint16_t>(segments);
    context.segGs = static_cast<std::uint16_t>(segments >> 16);
    context.segFs = static_cast<std::uint16_t>(segments >> 32);
    context.segSs = static_cast<std::uint16_t>(segments >> 48);
    context.eflags = static_cast<std::uint32_t>(value(REG_EFL));
    context.rax = value(REG_RAX);
    context.rcx = value(REG_RCX);
    context.rdx = value(REG_RDX);
    context.rbx = value(REG_RBX);
    context.rsp = value(REG_RSP);
    context.rbp = value(REG_RBP);
    context.rsi = value(REG_RSI);
    context.rdi = value(REG_RDI);
    context.r8 = value(REG_R8);
    context.r9 = value(REG_R9);
    context.r10 = value(REG_R10);
    context.r11 = value(REG_R11);
    context.r12 = value(REG_R12);
    context.r13 = value(REG_R13);
    context.r14 = value(REG_R14);
    context.r15 = value(REG_R15);
    context.rip = value(REG_RIP);
    const auto* floating = reinterpret_cast<const unsigned char*>(source.uc_mcontext.fpregs);
    if (floating != nullptr && ReadOwnMemory(reinterpret_cast<std::uintptr_t>(floating),
                                             context.floatingSave, sizeof context.floatingSave)) {
        context.mxCsr = source.uc_mcontext.fpregs->mxcsr;
    }
    file.Align();
    const Location location{sizeof context, file.Position()};
    file.Write(&context, sizeof context);
    return location;
}

// The stack from just below the stack pointer (or from the stack's end after an overflow) up.
MemoryDescriptor WriteStack(CDumpFile& file, std::uintptr_t stackPointer) {
    std::uintptr_t begin = stackPointer;
    std::uintptr_t end = stackPointer;
    if (!FindStack(stackPointer, begin, end)) {
        return {stackPointer, WriteMemory(file, stackPointer, 0)};
    }
    // The red zone too, unless the stack pointer sits at the very end of the stack.
    if (begin == stackPointer && ReadOwnMemory(stackPointer - kRedZone, g_copyBuffer, kRedZone)) {
        begin = stackPointer - kRedZone;
    }
    end = end - begin < kMaxStackBytes ? end : begin + kMaxStackBytes;
    return {begin, WriteMemory(file, begin, static_cast<std::uint32_t>(end - begin))};
}

Location WriteModuleList(CDumpFile& file, const LoadedModule* modules, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        g_nameRvas[i] = WriteString(file, modules[i].path);
        g_codeViews[i] = {};
        if (modules[i].buildIdSize > 0) {
            file.Align();
            g_codeViews[i] = {static_cast<std::uint32_t>(4 + modules[i].buildIdSize),
                              file.Position()};
            file.Write(&kCodeViewBuildId, sizeof kCodeViewBuildId);
            file.Write(modules[i].buildId, modules[i].buildIdSize);
        }
    }
    file.Align();
    const auto moduleCount = static_cast<std::uint32_t>(count);
    const Location location{static_cast<std::uint32_t>(4 + count * sizeof(Module)),
                            file.Position()};
    file.Write(&moduleCount, sizeof moduleCount);
    for (std::size_t i = 0; i < count; ++i) {
        const LoadedModule& loaded = modules[i];
        Module entry{};
        entry.base = loaded.base;
        entry.size = static_cast<std::uint32_t>(loaded.size);
        entry.nameRva = g_nameRvas[i];
        entry.codeView = g_codeViews[i];
        if (loaded.hasVersion) {
            const std::uint32_t high =
                static_cast<std::uint32_t>(loaded.version[0]) << 16 | loaded.version[1];
            const std::uint32_t low =
                static_cast<std::uint32_t>(loaded.version[2]) << 16 | loaded.version[3];
            entry.version.signature = kFixedFileInfoSignature;
            entry.version.structVersion = kFixedFileInfoVersion;
            entry.version.fileVersionHigh = entry.version.productVersionHigh = high;
            entry.version.fileVersionLow = entry.version.productVersionLow = low;
        }
        file.Write(&entry, sizeof entry);
    }
    return location;
}

} // namespace

bool WriteMiniDump(int fd, const CrashFault& fault, long processorCount,
                   const LoadedModule* modules, std::size_t moduleCount) {
    CDumpFile file(fd);
    // The header and the directory come first; they are filled in last.
    const Header blank{};
    DirectoryEntry directory[kStreamCount] = {};
    file.Write(&blank, sizeof blank);
    file.Write(directory, sizeof directory);

    directory[0] = {kSystemInfoStream, WriteSystemInfo(file, processorCount)};
    const Location context = WriteContext(file, *fault.context);
    const auto stackPointer =
        static_cast<std::uintptr_t>(fault.context->uc_mcontext.gregs[REG_RSP]);
    const MemoryDescriptor stack = WriteStack(file, stackPointer);

    Thread thread{};
    thread.id = static_cast<std::uint32_t>(fault.threadId);
    thread.stack = stack;
    thread.context = context;
    const std::uint32_t one = 1;
    file.Align();
    directory[1] = {kThreadListStream, {sizeof one + sizeof thread, file.Position()}};
    file.Write(&one, sizeof one);
    file.Write(&thread, sizeof thread);
    directory[2] = {kMemoryListStream, {sizeof one + sizeof stack, file.Position()}};
    file.Write(&one, sizeof one);
    file.Write(&stack, sizeof stack);

    ExceptionStream exception{};
    exception.threadId = thread.id;
    exception.exception.code = fault.code;
    exception.exception.address =
        static_cast<std::uint64_t>(fault.context->uc_mcontext.gregs[REG_RIP]);
    if (fault.code == kCodeAccessViolation) {
        exception.exception.parameterCount = 2;
        exception.exception.parameters[0] = fault.accessKind;
        exception.exception.parameters[1] = fault.faultAddress;
    }
    exception.context = context;
    directory[3] = {kExceptionStream, {sizeof exception, file.Position()}};
    file.Write(&exception, sizeof exception);

    directory[4] = {kModuleListStream, WriteModuleList(file, modules, moduleCount)};

    const Header header{kSignature,
                        kFormatVersion,
                        kStreamCount,
                        sizeof(Header),
                        0,
                        static_cast<std::uint32_t>(::time(nullptr)),
                        0};
    file.WriteAt(0, &header, sizeof header);
    file.WriteAt(sizeof header, directory, sizeof directory);
    return file.Ok();
}
