#include "app/crash/ReportText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the well-formed UTF-8 sequence at bytes (1 to 4) and its code point; 0 when the
// first byte does not start one.
std::size_t DecodeUtf8(const unsigned char* bytes, std::size_t length, char32_t& codePoint) {
    const unsigned char lead = bytes[0];
    std::size_t size = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (size > length) {
        return 0;
    }
    for (std::size_t i = 1; i < size; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < minimum || codePoint > 0x10FFFF || surrogate ? 0 : size;
}

} // namespace

int NextUtf16(const char*& bytes, std::size_t& length, char16_t units[2]) {
    const auto* next = reinterpret_cast<const unsigned char*>(bytes);
    char32_t codePoint = 0;
    const std::size_t size = DecodeUtf8(next, length, codePoint);
    if (size == 0) {
        units[0] = static_cast<char16_t>(kEscapeBase + *next);
        ++bytes;
        --length;
        return 1;
    }
    bytes += size;
    length -= size;
    if (codePoint < 0x10000) {
        units[0] = static_cast<char16_t>(codePoint);
        return 1;
    }
    codePoint -= 0x10000;
    units[0] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    return 2;
}

int CreateCrashFile(const char* path) {
    constexpr mode_t kUserOnly = 0600;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kUserOnly);
    // A file left by an earlier report keeps its mode through O_CREAT.
    if (fd >= 0 && ::fchmod(fd, kUserOnly) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool CReportText::Create(const char* path) {
    m_fd = CreateCrashFile(path);
    m_count = 0;
    return m_fd >= 0;
}

void CReportText::Close() {
    Flush();
    ::close(m_fd);
    m_fd = -1;
}

void CReportText::Flush() {
    const unsigned char* next = m_bytes;
    std::size_t left = m_count * 2;
    while (left > 0) {
        const ssize_t written = ::write(m_fd, next, left);
        if (written <= 0) {
            break;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    m_count = 0;
}

void CReportText::Unit(char16_t unit) {
    m_bytes[m_count * 2] = static_cast<unsigned char>(unit & 0xFF);
    m_bytes[m_count * 2 + 1] = static_cast<unsigned char>(unit >> 8);
    if (++m_count > kFlushAfter) {
        Flush();
    }
}

void CReportText::Text(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    Text(text, length);
}

void CReportText::Text(const char* bytes, std::size_t length) {
    while (length > 0) {
        char16_t units[2];
        const int count = NextUtf16(bytes, length, units);
        for (int i = 0; i < count; ++i) {
            Unit(units[i]);
        }
    }
}

void CReportText::Hex(std::uint64_t value, int digits) {
    char text[16];
    int count = 0;
    do {
        text[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < digits; ++i) {
        Unit(u'0');
    }
    while (count > 0) {
        Unit(static_cast<char16_t>(text[--count]));
    }
}

void CReportText::Decimal(std::int64_t value, int width, char fill) {
    char text[20];
    int count = 0;
    // Through the unsigned magnitude, which holds the smallest value too.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        text[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const int length = count + (value < 0 ? 1 : 0);
    if (width < 0) {
        for (int i = length; i < -width; ++i) {
            Unit(static_cast<char16_t>(fill));
        }
    }
    if (value < 0) {
        Unit(u'-');
    }
    while (count > 0) {
        Unit(static_cast<char16_t>(text[--count]));
    }
    Blanks(width - length);
}

void CReportText::Blanks(int count) {
    for (int i = 0; i < count; ++i) {
        Unit(u' ');
    }
}
