#include "core/Log.h"

#include "platform/PlatformLog.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Nothing raises or lowers it: every level the system writes reaches the sinks.
constexpr int kThreshold = LOG_LEVEL_DEBUG;
// Anyone may read the log, also while the player writes it (nothing here locks the file).
constexpr mode_t kLogFileMode = 0644;
// Set in the environment to see every line on standard error, as a debugger would.
constexpr const char* kDebugOutputVariable = "QOR_DEBUG_OUTPUT";

CLogStamp CurrentStamp() {
    using boost::posix_time::time_duration;
    const time_duration now = boost::posix_time::microsec_clock::universal_time().time_of_day();
    const auto ticksPerMillisecond = time_duration::ticks_per_second() / 1000;
    return {static_cast<int>(now.hours()), static_cast<int>(now.minutes()),
            static_cast<int>(now.seconds()),
            static_cast<int>(now.fractional_seconds() / ticksPerMillisecond),
            static_cast<int>(gettid())};
}

// A sink that fails (a full disk, a closed pipe) loses the line but must not stop the others.
void WriteAll(int fileDescriptor, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = write(fileDescriptor, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
}

static_assert(PLATFORM_LOG_ERROR == LOG_LEVEL_ERROR && PLATFORM_LOG_INFO == LOG_LEVEL_INFO &&
              PLATFORM_LOG_DEBUG == LOG_LEVEL_DEBUG);

// The platform services cannot reach this log from their layer. Every program that links the log
// (the player and every test above the platform layer) routes their lines into it from start-up
// on, before any service can run.
[[maybe_unused]] const bool g_platformLogRouted = [] {
    SetPlatformLog([](int level, const std::string& where, const std::string& text) {
        Log({where.c_str(), level}, "%s", text.c_str());
    });
    return true;
}();

} // namespace

void Log(const CLogSite& site, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CLog::Instance().Log(site.level, site.function, format, args);
    va_end(args);
}

CLog& CLog::Instance() {
    static CLog* const instance = new CLog;
    return *instance;
}

void CLog::OpenLogFile(const std::string& path) {
    std::lock_guard lock(m_writeLock);
    if (m_fileDescriptor >= 0) {
        close(m_fileDescriptor);
    }
    m_fileDescriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kLogFileMode);
    if (m_fileDescriptor < 0) {
        throw std::runtime_error("cannot create log file: " + path);
    }
}

int CLog::SetFileOutput(int flag) {
    return m_fileOutput.exchange(flag);
}

void CLog::Log(int level, const char* function, const char* format, va_list args) {
    const char* const levelWord = LogLevelWord(level);
    if (levelWord == nullptr || level > kThreshold) {
        return;
    }
    const bool debugOutput = std::getenv(kDebugOutputVariable) != nullptr;
    const bool fileOutput = m_fileOutput.load() != 0;
    if (!debugOutput && !fileOutput) {
        return;
    }

    CLogLineBuffer* buffer = m_lineBuffers.get();
    if (buffer == nullptr) {
        buffer = new CLogLineBuffer{};
        m_lineBuffers.reset(buffer);
    }
    const int length = FormatLogLine(*buffer, CurrentStamp(), levelWord, function, format, args);
    const size_t size = static_cast<size_t>(length);

    std::lock_guard lock(m_writeLock);
    if (debugOutput) {
        WriteAll(STDERR_FILENO, buffer->data(), size);
    }
    if (fileOutput) {
        if (m_fileDescriptor >= 0) {
            WriteAll(m_fileDescriptor, buffer->data(), size);
        }
        WriteAll(STDOUT_FILENO, buffer->data(), size);
    }
}
