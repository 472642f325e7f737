#pragma once

#include <array>
#include <cstdarg>

// Every log line is formatted here, by the logger for real lines and by tests for lines with a
// fixed time and thread id, so both see the same bytes.

// A line, line feed included, never exceeds this; it bounds the cost of one line and one write.
constexpr int kLogLineBufferSize = 4096;

using CLogLineBuffer = std::array<char, kLogLineBufferSize>;

// When and where a line was written: UTC time of day and the Linux thread id.
struct CLogStamp {
    int hours;
    int minutes;
    int seconds;
    int milliseconds;
    int threadId;
};

// The word a line carries for its level, or null for a level the log does not know.
const char* LogLevelWord(int level);

// Formats "hh:mm:ss:mmm   tid word: function: message\n" into buffer (without "function: " when
// function is null) and returns the line's length, line feed included. A message that does not
// fit is cut so that the line fills the buffer exactly; a message that cannot be printed at all
// (an encoding error) is left out and the line ends after the prefix. Consumes args.
int FormatLogLine(CLogLineBuffer& buffer, const CLogStamp& stamp, const char* levelWord,
                  const char* function, const char* format, va_list args);
