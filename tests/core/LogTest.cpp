#include "core/Log.h"
#include "platform/PlatformLog.h"

#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::string WorkPath(const std::string& name) {
    std::filesystem::create_directories(QOR_TEST_WORK_DIR);
    return std::string(QOR_TEST_WORK_DIR) + "/" + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::istringstream text(ReadFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Points a standard descriptor at a file (or /dev/null) for the object's lifetime.
class CRedirect {
public:
    CRedirect(int fileDescriptor, const std::string& path) : m_fileDescriptor(fileDescriptor) {
        std::fflush(nullptr);
        m_saved = dup(fileDescriptor);
        const int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(target, fileDescriptor);
        close(target);
    }
    ~CRedirect() {
        std::fflush(nullptr);
        dup2(m_saved, m_fileDescriptor);
        close(m_saved);
    }
    CRedirect(const CRedirect&) = delete;
    CRedirect& operator=(const CRedirect&) = delete;

private:
    int m_fileDescriptor;
    int m_saved;
};

// Opens a fresh log file named after the test with file output on, and returns its path.
std::string OpenTestLog(const std::string& name) {
    const std::string path = WorkPath(name + ".log");
    CLog::Instance().OpenLogFile(path);
    CLog::Instance().SetFileOutput(1);
    return path;
}

// Prefix of a line written from this test file: time, thread id, level word, function name.
const std::regex kLinePattern(R"(^(\d\d):(\d\d):(\d\d):(\d\d\d) +(\d+) (\w+): LogTest: (.*)$)");

} // namespace

TEST(LogFile, OpenTruncatesAnExistingFile) {
    const std::string path = WorkPath("truncate.log");
    std::ofstream(path) << "an older run's lines\nmore\n";
    CLog::Instance().OpenLogFile(path);
    CLog::Instance().SetFileOutput(1);
    Log({"LogTest", LOG_LEVEL_INFO}, "fresh");
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("info: LogTest: fresh"), std::string::npos);
}

TEST(LogFile, OpenReportsAPathThatCannotBeCreated) {
    const std::string path = WorkPath("missing-folder/qor.log");
    try {
        CLog::Instance().OpenLogFile(path);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "cannot create log file: " + path);
    }
}

TEST(LogFile, FileOutputFlagGatesFileAndStandardOutput) {
    const std::string path = OpenTestLog("flag");
    const std::string stdoutPath = WorkPath("flag.stdout");
    {
        CRedirect toFile(STDOUT_FILENO, stdoutPath);
        EXPECT_EQ(CLog::Instance().SetFileOutput(0), 1);
        Log({"LogTest", LOG_LEVEL_ERROR}, "hidden");
        EXPECT_EQ(CLog::Instance().SetFileOutput(1), 0);
        Log({"LogTest", LOG_LEVEL_ERROR}, "shown %d", 2);
    }
    const std::string fileText = ReadFile(path);
    EXPECT_EQ(fileText.find("hidden"), std::string::npos);
    EXPECT_NE(fileText.find("ERROR: LogTest: shown 2\n"), std::string::npos);
    EXPECT_EQ(ReadFile(stdoutPath), fileText);
}

TEST(LogSinks, DebugOutputOnlyWhileTheVariableIsSet) {
    CLog::Instance().SetFileOutput(0);
    const std::string stderrPath = WorkPath("debug.stderr");
    {
        CRedirect toFile(STDERR_FILENO, stderrPath);
        unsetenv("QOR_DEBUG_OUTPUT");
        Log({"LogTest", LOG_LEVEL_INFO}, "quiet");
        setenv("QOR_DEBUG_OUTPUT", "1", 1);
        Log({"LogTest", LOG_LEVEL_INFO}, "loud");
        unsetenv("QOR_DEBUG_OUTPUT");
        Log({"LogTest", LOG_LEVEL_INFO}, "quiet again");
    }
    CLog::Instance().SetFileOutput(1);
    const std::vector<std::string> lines = ReadLines(stderrPath);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("info: LogTest: loud"), std::string::npos);
}

TEST(LogSinks, WritesEveryKnownLevelAndNothingElse) {
    const std::string path = OpenTestLog("levels");
    for (int level = -1; level <= 3; ++level) {
        Log({"LogTest", level}, "level %d", level);
    }
    Log({nullptr, LOG_LEVEL_INFO}, "anonymous");
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find(" ERROR: LogTest: level 0"), std::string::npos);
    EXPECT_NE(lines[1].find(" info: LogTest: level 1"), std::string::npos);
    EXPECT_NE(lines[2].find(" debug: LogTest: level 2"), std::string::npos);
    EXPECT_NE(lines[3].find(" info: anonymous"), std::string::npos);
}

// Nothing in this program installs the route: linking the log is enough.
TEST(LogSinks, PlatformServicesWriteHereWithTheirLevel) {
    const std::string path = OpenTestLog("platform");
    PlatformLog(PLATFORM_LOG_ERROR, "LogTest", "no device");
    PlatformLog(PLATFORM_LOG_DEBUG, "LogTest", "100% done");
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" ERROR: LogTest: no device"), std::string::npos);
    EXPECT_NE(lines[1].find(" debug: LogTest: 100% done"), std::string::npos);
}

TEST(LogStamp, HourIsUniversalTimeNotLocal) {
    const char* const savedZone = std::getenv("TZ");
    const std::string saved = savedZone != nullptr ? savedZone : "";
    setenv("TZ", "QOR-11", 1); // eleven hours east of UTC
    tzset();

    const std::string path = OpenTestLog("utc");
    std::tm before = {}, after = {}, local = {};
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t start = std::time(nullptr);
        Log({"LogTest", LOG_LEVEL_INFO}, "attempt %d", attempt);
        const std::time_t end = std::time(nullptr);
        gmtime_r(&start, &before);
        gmtime_r(&end, &after);
        localtime_r(&start, &local);
        if (before.tm_hour == after.tm_hour) {
            break;
        }
    }
    if (savedZone != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();

    ASSERT_EQ(before.tm_hour, after.tm_hour) << "the hour changed during every attempt";
    ASSERT_NE(local.tm_hour, before.tm_hour) << "the time zone did not take effect";
    const std::vector<std::string> lines = ReadLines(path);
    std::smatch match;
    ASSERT_FALSE(lines.empty());
    ASSERT_TRUE(std::regex_match(lines.back(), match, kLinePattern)) << lines.back();
    EXPECT_EQ(std::stoi(match[1]), before.tm_hour);
}

TEST(LogStamp, ThreadIdIsTheWritersLinuxThreadId) {
    const std::string path = OpenTestLog("tid");
    pid_t workerId = 0;
    std::thread worker([&workerId] {
        workerId = gettid();
        Log({"LogTest", LOG_LEVEL_INFO}, "from worker");
    });
    worker.join();
    Log({"LogTest", LOG_LEVEL_INFO}, "from main");

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 2u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kLinePattern)) << lines[0];
    EXPECT_EQ(std::stoi(match[5]), workerId);
    ASSERT_TRUE(std::regex_match(lines[1], match, kLinePattern)) << lines[1];
    EXPECT_EQ(std::stoi(match[5]), gettid());
    EXPECT_NE(workerId, gettid());
}

TEST(LogConcurrency, ThreadsWriteWholeLinesInTheirOwnOrder) {
    constexpr int kThreads = 8;
    constexpr int kLinesPerThread = 10000;
    const std::string path = OpenTestLog("concurrent");
    std::vector<pid_t> threadIds(kThreads);
    {
        CRedirect silence(STDOUT_FILENO, "/dev/null"); // every line also goes to stdout
        std::vector<std::thread> threads;
        for (int index = 0; index < kThreads; ++index) {
            threads.emplace_back([index, &threadIds] {
                threadIds[index] = gettid();
                for (int sequence = 0; sequence < kLinesPerThread; ++sequence) {
                    Log({"LogTest", LOG_LEVEL_INFO}, "worker %d line %d", index, sequence);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesPerThread));
    const std::regex message(R"(worker (\d) line (\d+))");
    std::vector<int> nextSequence(kThreads, 0);
    for (const std::string& line : lines) {
        std::smatch prefix, body;
        ASSERT_TRUE(std::regex_match(line, prefix, kLinePattern)) << line;
        EXPECT_EQ(prefix.str(6), "info");
        const std::string text = prefix.str(7);
        ASSERT_TRUE(std::regex_match(text, body, message)) << line;
        const int index = std::stoi(body[1]);
        ASSERT_LT(index, kThreads);
        EXPECT_EQ(std::stoi(prefix[5]), threadIds[index]) << line;
        ASSERT_EQ(std::stoi(body[2]), nextSequence[index]) << line;
        ++nextSequence[index];
    }
    EXPECT_EQ(nextSequence, std::vector<int>(kThreads, kLinesPerThread));
}
