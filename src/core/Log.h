#pragma once

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>

#include <boost/thread/tss.hpp>

#include "core/LogLine.h"

// The process-wide diagnostic log. A line reads "hh:mm:ss:mmm   tid level: Function: message"
// with the UTC time of day and the Linux thread id of the writer. Lines go to standard error
// while the environment variable QOR_DEBUG_OUTPUT is set, and to the log file and standard output
// while file output is on (the default).

enum ELogLevel : int { LOG_LEVEL_ERROR = 0, LOG_LEVEL_INFO = 1, LOG_LEVEL_DEBUG = 2 };

// A call site, built by the caller on the spot: {"CVeltoSource::Load", LOG_LEVEL_ERROR}.
struct CLogSite {
    const char* function;
    int level;
};

// The usual entry, from any thread: Log({"CEngineDS::Stop", LOG_LEVEL_INFO}, "state %d", state);
void Log(const CLogSite& site, const char* format, ...) __attribute__((format(printf, 2, 3)));

class CLog {
public:
    // Created on first use and never destroyed, so that threads still running at exit can log.
    static CLog& Instance();

    // Called by start-up before its first line. Closes the open file, if any, then creates or
    // truncates path, readable by other processes while the player runs. Each line reaches the
    // file with one write, unbuffered. Throws std::runtime_error("cannot create log file: " +
    // path) when the file cannot be created; the log then has no file until the next call.
    void OpenLogFile(const std::string& path);

    // Any thread. Non-zero sends lines to the file and standard output as well; returns the
    // previous value.
    int SetFileOutput(int flag);

    // Any thread, any time. Formats in the calling thread's own buffer without taking a lock;
    // function may be null for a line without a function name. Levels above the threshold and
    // unknown levels write nothing. Consumes args.
    void Log(int level, const char* function, const char* format, va_list args);

    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

private:
    CLog() = default;
    ~CLog() = default;

    // Created on each thread's first line, freed when the thread ends; only that thread uses it.
    boost::thread_specific_ptr<CLogLineBuffer> m_lineBuffers;
    std::atomic<int> m_fileOutput{1};
    // Serialises whole-line writes to every sink, so lines of different threads never mix, and
    // guards m_fileDescriptor against OpenLogFile replacing it mid-write.
    std::mutex m_writeLock;
    int m_fileDescriptor = -1; // guarded by m_writeLock; -1 while no file is open
};
