#include "core/LogLine.h"

#include <algorithm>
#include <cstdio>

const char* LogLevelWord(int level) {
    static constexpr const char* kWords[] = {"ERROR", "info", "debug"};
    if (level < 0 || level >= static_cast<int>(std::size(kWords))) {
        return nullptr;
    }
    return kWords[level];
}

int FormatLogLine(CLogLineBuffer& buffer, const CLogStamp& stamp, const char* levelWord,
                  const char* function, const char* format, va_list args) {
    // The last byte is kept for the line feed; everything before it is prefix and message.
    const int lastIndex = kLogLineBufferSize - 1;
    char* const text = buffer.data();
    const int prefixLength =
        function != nullptr
            ? std::snprintf(text, buffer.size(), "%02i:%02i:%02i:%03i % 5i %s: %s: ", stamp.hours,
                            stamp.minutes, stamp.seconds, stamp.milliseconds, stamp.threadId,
                            levelWord, function)
            : std::snprintf(text, buffer.size(), "%02i:%02i:%02i:%03i % 5i %s: ", stamp.hours,
                            stamp.minutes, stamp.seconds, stamp.milliseconds, stamp.threadId,
                            levelWord);
    int length = std::clamp(prefixLength, 0, lastIndex);
    if (length < lastIndex) {
        // vsnprintf puts its terminator at most at lastIndex, where the line feed goes anyway.
        const int room = kLogLineBufferSize - length;
        const int messageLength = std::vsnprintf(text + length, room, format, args);
        if (messageLength >= room) {
            length = lastIndex;
        } else if (messageLength > 0) {
            length += messageLength;
        }
    }
    text[length] = '\n';
    return length + 1;
}
