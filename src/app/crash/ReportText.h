#pragma once
// The text of the error log as it is written from a crash handler: UTF-16LE without a byte-order
// mark, collected in a fixed buffer that goes to the file whenever it holds more than
// kFlushAfter characters and on Close. Nothing here allocates or takes a lock, so it may run
// inside a signal handler.
//
// Text comes in as bytes: UTF-8 where they are well-formed, and any other byte (a file name need
// not be UTF-8) as the lone unit U+DC00 + byte, the escape the program's paths use elsewhere.
//
// Threads: one at a time; the crash report has a single process-wide instance.
#include <cstddef>
#include <cstdint>

// Decodes the character at the start of bytes into one or two UTF-16 units and moves bytes and
// length past it; returns how many units. length must not be 0.
int NextUtf16(const char*& bytes, std::size_t& length, char16_t units[2]);

// Opens path for a crash file anew, emptied, readable by the user alone (it holds stack memory):
// created with mode 0600, an existing file set to it. A symbolic link at path is refused, not
// followed. The descriptor, or -1.
int CreateCrashFile(const char* path);

class CReportText {
public:
    // Creates the file anew (CreateCrashFile); false when it cannot.
    bool Create(const char* path);
    // Writes out what is buffered and closes the file.
    void Close();

    void Text(const char* text);
    void Text(const char* bytes, std::size_t length);
    // Lower-case hexadecimal, at least digits wide, zero-padded ("%08x").
    void Hex(std::uint64_t value, int digits);
    // Decimal. A positive width pads with blanks on the right ("%-10d"), a negative one with fill
    // on the left ("%02d" is width -2, fill '0').
    void Decimal(std::int64_t value, int width = 0, char fill = ' ');
    void Blanks(int count);
    void Unit(char16_t unit);

private:
    static constexpr std::size_t kFlushAfter = 7168;
    static constexpr std::size_t kCapacity = kFlushAfter + 1;

    void Flush();

    int m_fd = -1;
    std::size_t m_count = 0;
    unsigned char m_bytes[kCapacity * 2] = {};
};
