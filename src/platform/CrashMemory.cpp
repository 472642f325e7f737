#include "platform/CrashMemory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// Bytes per read of /proc/self/maps; a line is far shorter, so a line cut at the end of one
// chunk is carried into the next.
constexpr std::size_t kMapsChunk = 4096;
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

std::uintptr_t ParseHex(const char*& text, const char* end) {
    std::uintptr_t value = 0;
    for (; text < end; ++text) {
        const char c = *text;
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<std::uintptr_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            value = value * 16 + static_cast<std::uintptr_t>(c - 'a' + 10);
        } else {
            break;
        }
    }
    return value;
}

// "start-end perms ..." of one line; false for a line that does not start so.
bool ParseMapsLine(const char* line, const char* end, MemoryMapping& mapping) {
    mapping.start = ParseHex(line, end);
    if (line == end || *line != '-') {
        return false;
    }
    ++line;
    mapping.end = ParseHex(line, end);
    if (end - line < 2 || *line != ' ') {
        return false;
    }
    mapping.readable = line[1] == 'r';
    return true;
}

// The first mapping that ends above address: the one that holds it, else the next one up (the
// map lists them in address order).
bool FindMappingFrom(std::uintptr_t address, MemoryMapping& mapping) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[kMapsChunk];
    std::size_t held = 0;
    bool found = false;
    while (!found) {
        const ssize_t got = ::read(fd, buffer + held, sizeof buffer - held);
        if (got <= 0) {
            break;
        }
        held += static_cast<std::size_t>(got);
        const char* line = buffer;
        const char* const end = buffer + held;
        for (const char* c = line; c < end && !found; ++c) {
            if (*c != '\n') {
                continue;
            }
            found = ParseMapsLine(line, c, mapping) && address < mapping.end;
            line = c + 1;
        }
        // Keep the unfinished line for the next chunk.
        held = static_cast<std::size_t>(end - line);
        for (std::size_t i = 0; i < held; ++i) {
            buffer[i] = line[i];
        }
        if (held == sizeof buffer) {
            break;
        }
    }
    ::close(fd);
    return found;
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
