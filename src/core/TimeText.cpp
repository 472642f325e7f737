#include "core/TimeText.h"

#include "core/WideText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sys/statvfs.h>

namespace {

std::wstring Widened(const char* text, std::size_t length) {
    return Utf8ToWide(std::string_view(text, length));
}

} // namespace

std::wstring FormatClock(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const std::int64_t hours = seconds / 3600;
    const int minutes = static_cast<int>(seconds % 3600 / 60);
    const int rest = static_cast<int>(seconds % 60);
    char text[40];
    const int length = hours <= 0 ? std::snprintf(text, sizeof text, "%.2d:%.2d", minutes, rest)
                                  : std::snprintf(text, sizeof text, "%.2lld:%.2d:%.2d",
                                                  static_cast<long long>(hours), minutes, rest);
    return Widened(text, static_cast<std::size_t>(length));
}

std::wstring FormatDurationShort(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const std::int64_t hours = seconds / 3600;
    const std::int64_t rest = seconds % 3600;
    char text[40];
    std::to_chars_result result{};
    if (hours <= 0) {
        const std::int64_t minutes = rest / 60 + (rest % 60 > 0 ? 1 : 0);
        result = std::to_chars(text, text + sizeof text - 1, minutes);
        *result.ptr++ = 'm';
    } else {
        const double fraction = static_cast<double>(hours) + static_cast<double>(rest / 60) / 60.0;
        result = std::to_chars(text, text + sizeof text - 1, fraction, std::chars_format::fixed, 1);
        *result.ptr++ = 'h';
    }
    return Widened(text, static_cast<std::size_t>(result.ptr - text));
}

std::optional<std::wstring> FormatFreeSpace(const std::wstring& folder) {
    struct statvfs info {};
    if (statvfs(PathToBytes(folder).c_str(), &info) != 0) {
        return std::nullopt;
    }
    const unsigned long long megabytes =
        static_cast<unsigned long long>(info.f_bavail) * info.f_frsize / 1024 / 1024;
    char text[64];
    const int length = std::snprintf(text, sizeof text, "Free Space: %llu MB", megabytes);
    return Widened(text, static_cast<std::size_t>(length));
}
