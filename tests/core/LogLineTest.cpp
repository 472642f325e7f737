#include "core/LogLine.h"

#include "core/Log.h" // the level names

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace {

// Formats into a buffer still holding an older, longer line, as a thread's reused buffer does.
std::string FormatLine(const CLogStamp& stamp, int level, const char* function, const char* format,
                       ...) __attribute__((format(printf, 4, 5)));

std::string FormatLine(const CLogStamp& stamp, int level, const char* function, const char* format,
                       ...) {
    CLogLineBuffer buffer;
    buffer.fill('#');
    va_list args;
    va_start(args, format);
    const int length = FormatLogLine(buffer, stamp, LogLevelWord(level), function, format, args);
    va_end(args);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

const CLogStamp kStamp = {1, 2, 3, 4, 42};

} // namespace

TEST(LogLineFormat, PrefixWithAndWithoutFunctionName) {
    EXPECT_EQ(FormatLine(kStamp, LOG_LEVEL_INFO, "CVeltoSource::Load", "opened %s (%d streams)",
                         "a.mkv", 2),
              "01:02:03:004    42 info: CVeltoSource::Load: opened a.mkv (2 streams)\n");
    EXPECT_EQ(FormatLine(kStamp, LOG_LEVEL_ERROR, nullptr, "no function"),
              "01:02:03:004    42 ERROR: no function\n");
    EXPECT_EQ(FormatLine(kStamp, LOG_LEVEL_DEBUG, "copy_buffer", "%s", ""),
              "01:02:03:004    42 debug: copy_buffer: \n");
}

TEST(LogLineFormat, PadsTimeAndAlignsThreadId) {
    EXPECT_EQ(FormatLine({0, 0, 0, 70, 7}, LOG_LEVEL_INFO, nullptr, "x"),
              "00:00:00:070     7 info: x\n");
    EXPECT_EQ(FormatLine({23, 59, 59, 999, 9999}, LOG_LEVEL_INFO, nullptr, "x"),
              "23:59:59:999  9999 info: x\n");
    // Linux thread ids outgrow the five columns; the field widens rather than cutting digits.
    EXPECT_EQ(FormatLine({12, 5, 9, 0, 123456}, LOG_LEVEL_INFO, nullptr, "x"),
              "12:05:09:000  123456 info: x\n");
}

TEST(LogLineFormat, LongMessagesAreCutToExactlyOneBuffer) {
    const std::string prefix = FormatLine(kStamp, LOG_LEVEL_INFO, "F", "%s", "");
    const size_t room = kLogLineBufferSize - prefix.size(); // message bytes that fit

    // Exactly filling: the whole message survives and the line is one buffer long.
    const std::string filling = std::string(room - 1, 'a') + "Z";
    const std::string filled = FormatLine(kStamp, LOG_LEVEL_INFO, "F", "%s", filling.c_str());
    EXPECT_EQ(filled, prefix.substr(0, prefix.size() - 1) + filling + "\n");
    EXPECT_EQ(filled.size(), static_cast<size_t>(kLogLineBufferSize));

    // One byte more: the last byte of the message gives way to the line feed.
    const std::string overflowing = std::string(room, 'a') + "Z";
    const std::string cut = FormatLine(kStamp, LOG_LEVEL_INFO, "F", "%s", overflowing.c_str());
    EXPECT_EQ(cut, prefix.substr(0, prefix.size() - 1) + std::string(room, 'a') + "\n");

    // Far too long, through a conversion rather than a plain string.
    const std::string huge = FormatLine(kStamp, LOG_LEVEL_INFO, "F", "%10000d", 5);
    ASSERT_EQ(huge.size(), static_cast<size_t>(kLogLineBufferSize));
    EXPECT_EQ(huge.back(), '\n');
    EXPECT_EQ(std::count(huge.begin(), huge.end(), '\0'), 0);
    EXPECT_EQ(huge.find('\n'), huge.size() - 1);

    // A prefix that alone overflows is cut the same way.
    const std::string function(5000, 'f');
    const std::string longName = FormatLine(kStamp, LOG_LEVEL_INFO, function.c_str(), "message");
    ASSERT_EQ(longName.size(), static_cast<size_t>(kLogLineBufferSize));
    EXPECT_EQ(longName.find('\n'), longName.size() - 1);
    EXPECT_EQ(std::count(longName.begin(), longName.end(), '\0'), 0);
}

TEST(LogLineFormat, UnprintableMessageLeavesNoStaleBytes) {
    // vsnprintf fails on a character outside Unicode; the rest of the buffer holds an old line.
    const wchar_t invalid[] = {static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(FormatLine(kStamp, LOG_LEVEL_ERROR, "F", "name %ls", invalid),
              "01:02:03:004    42 ERROR: F: \n");
}
