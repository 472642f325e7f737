#include "platform/CrashMemory.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// Room for one line of /proc/self/maps: the fields before the path take under 100 bytes, and a
// line cut at the end of one read is carried into the next.
constexpr std::size_t kMapsLineRoom = PATH_MAX + 256;
// Bytes read of a small /proc file (status, meminfo: under 2 KiB today).
constexpr std::size_t kProcFileSize = 8192;
// Bytes the fallback reader passes through its pipe at a time (a pipe holds at least a page).
constexpr std::size_t kPipeChunk = 4096;

// Ends of a non-blocking pipe for the fallback reader: write() reports EFAULT for an address it
// cannot read instead of faulting. -1 until PrepareCrashMemory; then fixed.
int g_probeRead = -1;
int g_probeWrite = -1;

bool ReadThroughPipe(std::uintptr_t address, char* out, std::size_t size) {
    if (g_probeWrite < 0) {
        return false;
    }
    while (size > 0) {
        const std::size_t chunk = size < kPipeChunk ? size : kPipeChunk;
        const ssize_t written =
            ::write(g_probeWrite, reinterpret_cast<const void*>(address), chunk);
        if (written <= 0) {
            return false;
        }
        std::size_t taken = 0;
        while (taken < static_cast<std::size_t>(written)) {
            const ssize_t got = ::read(g_probeRead, out + taken, written - taken);
            if (got <= 0) {
                return false;
            }
            taken += static_cast<std::size_t>(got);
        }
        address += taken;
        out += taken;
        size -= taken;
    }
    return true;
}

std::uint64_t ParseNumber(const char*& text, const char* end, unsigned base) {
    std::uint64_t value = 0;
    for (; text < end; ++text) {
        const char c = *text;
        unsigned digit = base;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        }
        if (digit >= base) {
            break;
        }
        value = value * base + digit;
    }
    return value;
}

// Moves text past the next run of blanks; false when none follows.
bool SkipBlanks(const char*& text, const char* end) {
    if (text == end || *text != ' ') {
        return false;
    }
    while (text < end && *text == ' ') {
        ++text;
    }
    return true;
}

// "start-end perms offset major:minor inode   path" of one line, zero-terminated at end (the
// path runs to it); false for a line that does not read so.
bool ParseMapsLine(const char* line, const char* end, MemoryMapping& mapping) {
    mapping.start = ParseNumber(line, end, 16);
    if (line == end || *line != '-') {
        return false;
    }
    ++line;
    mapping.end = ParseNumber(line, end, 16);
    if (!SkipBlanks(line, end) || end - line < 4) {
        return false;
    }
    mapping.readable = line[0] == 'r';
    line += 4;
    if (!SkipBlanks(line, end)) {
        return false;
    }
    mapping.offset = ParseNumber(line, end, 16);
    if (!SkipBlanks(line, end)) {
        return false;
    }
    ParseNumber(line, end, 16);
    if (line == end || *line != ':') {
        return false;
    }
    ++line;
    ParseNumber(line, end, 16);
    if (!SkipBlanks(line, end)) {
        return false;
    }
    ParseNumber(line, end, 10);
    // Anonymous memory ends after the inode, without blanks.
    SkipBlanks(line, end);
    mapping.path = line;
    return true;
}

struct AddressSearch {
    std::uintptr_t address = 0;
    MemoryMapping found;
    bool done = false;
};

// Stops at the first mapping that ends above the address: the one that holds it, else the next
// one up.
bool StopAtAddress(const MemoryMapping& mapping, void* context) {
    auto& search = *static_cast<AddressSearch*>(context);
    if (search.address >= mapping.end) {
        return true;
    }
    search.found = mapping;
    search.found.path = "";
    search.done = true;
    return false;
}

bool FindMappingFrom(std::uintptr_t address, MemoryMapping& mapping) {
    AddressSearch search;
    search.address = address;
    if (!ForEachMapping(&StopAtAddress, &search) || !search.done) {
        return false;
    }
    mapping = search.found;
    return true;
}

} // namespace

void PrepareCrashMemory() {
    int ends[2];
    if (g_probeWrite < 0 && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_probeRead = ends[0];
        g_probeWrite = ends[1];
    }
}

bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size) {
    if (size == 0) {
        return true;
    }
    iovec local{out, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const ssize_t copied = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    if (copied == static_cast<ssize_t>(size)) {
        return true;
    }
    if (copied < 0 && (errno == ENOSYS || errno == EPERM)) {
        return ReadThroughPipe(address, static_cast<char*>(out), size);
    }
    return false;
}

bool ForEachMapping(MappingVisitor visit, void* context) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[kMapsLineRoom];
    std::size_t held = 0;
    bool skipping = false; // the rest of a line too long for the buffer
    bool visiting = true;
    ssize_t got = 0;
    while (visiting && (got = ::read(fd, buffer + held, sizeof buffer - held)) > 0) {
        held += static_cast<std::size_t>(got);
        char* line = buffer;
        char* const end = buffer + held;
        for (char* c = line; c < end && visiting; ++c) {
            if (*c != '\n') {
                continue;
            }
            *c = '\0';
            MemoryMapping mapping;
            if (!skipping && ParseMapsLine(line, c, mapping)) {
                visiting = visit(mapping, context);
            }
            skipping = false;
            line = c + 1;
        }
        // Keep the unfinished line for the next read; drop it when it fills the buffer.
        held = static_cast<std::size_t>(end - line);
        if (held == sizeof buffer) {
            skipping = true;
            held = 0;
        }
        for (std::size_t i = 0; i < held; ++i) {
            buffer[i] = line[i];
        }
    }
    ::close(fd);
    return got >= 0 || !visiting;
}

bool FindMapping(std::uintptr_t address, MemoryMapping& mapping) {
    return FindMappingFrom(address, mapping) && mapping.start <= address;
}

bool FindStack(std::uintptr_t stackPointer, std::uintptr_t& begin, std::uintptr_t& end) {
    MemoryMapping stack;
    if (!FindMappingFrom(stackPointer, stack) || !stack.readable ||
        (stack.start > stackPointer && stack.start - stackPointer > kStackOverflowReach)) {
        return false;
    }
    begin = stack.start > stackPointer ? stack.start : stackPointer;
    end = stack.end;
    return true;
}

bool ReadProcNumber(const char* path, const char* key, std::uint64_t& value) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char text[kProcFileSize];
    std::size_t held = 0;
    ssize_t got = 0;
    while (held < sizeof text - 1 && (got = ::read(fd, text + held, sizeof text - 1 - held)) > 0) {
        held += static_cast<std::size_t>(got);
    }
    ::close(fd);
    text[held] = '\0';
    std::size_t keyLength = 0;
    while (key[keyLength] != '\0') {
        ++keyLength;
    }
    for (std::size_t line = 0; line + keyLength <= held;) {
        std::size_t matched = 0;
        while (matched < keyLength && text[line + matched] == key[matched]) {
            ++matched;
        }
        if (matched == keyLength) {
            const char* digit = text + line + keyLength;
            while (*digit == ' ' || *digit == '\t') {
                ++digit;
            }
            value = 0;
            for (; *digit >= '0' && *digit <= '9'; ++digit) {
                value = value * 10 + static_cast<std::uint64_t>(*digit - '0');
            }
            return true;
        }
        while (line < held && text[line] != '\n') {
            ++line;
        }
        ++line;
    }
    return false;
}
