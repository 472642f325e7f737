// The crash report end to end: a program with the handler installed faults in a child process,
// with its own data folder and a stand-in Mishap beside it that records how it was started; the
// error log, the minidump and that record are then checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr auto kChildTimeout = std::chrono::seconds(60);
constexpr auto kMishapTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

struct CrashCase {
    const char* fault;
    int signal;         // that ends the child
    std::uint32_t code; // in the log's first line and the dump's exception stream
    const char* text;
    const char* module;     // that holds the instruction pointer
    const char* accessLine; // the access-violation line, or nullptr when there is none
};

const CrashCase kCases[] = {
    {"null", SIGSEGV, 0xC0000005, "an Access Violation", "crash_child",
     "Write to location 0000000000000000 caused an access violation.\r\n"},
    {"divide", SIGFPE, 0xC0000094, "an Integer Divide by Zero", "crash_child", nullptr},
    {"exception", SIGABRT, 0xE06D7363, "a Microsoft C++ Exception", "crash_child", nullptr},
    {"recursion", SIGSEGV, 0xC00000FD, "a Stack Overflow", "crash_child", nullptr},
    {"abort", SIGABRT, 0xC0000409, "an Unknown exception type", "libc.so.6", nullptr},
    // The second thread's division by zero, during the report, neither writes nor ends the
    // process before the first report is whole.
    {"two-threads", SIGSEGV, 0xC0000005, "an Access Violation", "crash_child",
     "Write to location 0000000000000000 caused an access violation.\r\n"},
};

// The sections of the log, in their order.
const char* const kSections[] = {
    "\r\n\r\nException handler called in RecordExceptionInfo.\r\n",
    "Error occurred at ",
    ", run by ",
    "Operating system:  ",
    " processor(s), type 8664.\r\n",
    "% memory in use.\r\n",
    " MBytes physical memory.\r\n",
    " MBytes physical memory free.\r\n",
    " MBytes paging file.\r\n",
    " MBytes paging file free.\r\n",
    " MBytes user address space.\r\n",
    " MBytes user address space free.\r\n",
    "\r\nContext:\r\nRDI:    0x",
    "\r\nBytes at CS:RIP:\r\n",
    "\r\n\r\nStack:\r\n0x",
    "Module 1\r\n",
    "Version Information:\r\n",
    "\r\n===== [end of ERRORLOG.TXT] =====\r\n",
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The log's UTF-16LE as 8-bit text (every character of it is ASCII here); "" when a character
// is not.
std::string DecodeLog(const std::string& bytes) {
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i + 1] != 0 || (bytes[i] & 0x80) != 0) {
            return {};
        }
        text += bytes[i];
    }
    return text;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

template <typename T> T Read(const std::string& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof(T) <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    }
    return value;
}

// What the test needs of a minidump, read from its header and stream directory.
struct DumpSummary {
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> streams; // size, position
    std::uint32_t exceptionCode = 0;
    std::uint64_t exceptionAddress = 0;
    std::uint32_t exceptionThread = 0;
    std::uint32_t threadCount = 0;
    std::uint32_t threadId = 0;
    std::uint64_t contextRip = 0;
    std::uint64_t contextRsp = 0;
    std::uint64_t stackStart = 0;
    std::uint32_t stackSize = 0;
    std::uint32_t moduleCount = 0;
    std::string firstModuleName;
    bool within = true; // every location lies inside the file
};

DumpSummary ReadDump(const std::string& dump) {
    DumpSummary summary;
    const auto inside = [&](std::uint32_t size, std::uint32_t position) {
        const bool fits = std::uint64_t{position} + size <= dump.size();
        summary.within = summary.within && fits;
        return fits;
    };
    const auto streamCount = Read<std::uint32_t>(dump, 8);
    const auto directory = Read<std::uint32_t>(dump, 12);
    if (!inside(streamCount * 12, directory)) {
        return summary;
    }
    for (std::uint32_t i = 0; i < streamCount; ++i) {
        const std::size_t entry = directory + i * 12;
        const auto size = Read<std::uint32_t>(dump, entry + 4);
        const auto position = Read<std::uint32_t>(dump, entry + 8);
        if (inside(size, position)) {
            summary.streams[Read<std::uint32_t>(dump, entry)] = {size, position};
        }
    }
    if (summary.streams.count(6) != 0) {
        const std::uint32_t at = summary.streams[6].second;
        summary.exceptionThread = Read<std::uint32_t>(dump, at);
        summary.exceptionCode = Read<std::uint32_t>(dump, at + 8);
        summary.exceptionAddress = Read<std::uint64_t>(dump, at + 24);
        const auto contextSize = Read<std::uint32_t>(dump, at + 160);
        const auto context = Read<std::uint32_t>(dump, at + 164);
        if (contextSize == 1232 && inside(contextSize, context)) {
            summary.contextRsp = Read<std::uint64_t>(dump, context + 0x98);
            summary.contextRip = Read<std::uint64_t>(dump, context + 0xF8);
        }
    }
    if (summary.streams.count(3) != 0) {
        const std::uint32_t at = summary.streams[3].second;
        summary.threadCount = Read<std::uint32_t>(dump, at);
        summary.threadId = Read<std::uint32_t>(dump, at + 4);
        summary.stackStart = Read<std::uint64_t>(dump, at + 28);
        summary.stackSize = Read<std::uint32_t>(dump, at + 36);
        inside(summary.stackSize, Read<std::uint32_t>(dump, at + 40));
    }
    if (summary.streams.count(4) != 0) {
        const std::uint32_t at = summary.streams[4].second;
        summary.moduleCount = Read<std::uint32_t>(dump, at);
        const auto name = Read<std::uint32_t>(dump, at + 4 + 20);
        const auto length = Read<std::uint32_t>(dump, name);
        if (inside(length + 4, name)) {
            summary.firstModuleName = DecodeLog(dump.substr(name + 4, length));
        }
    }
    return summary;
}

// Runs the program with XDG_DATA_HOME set, its output into a file; returns the wait status, or
// -1 when it did not end in time (it is killed then).
int RunChild(const std::vector<std::string>& args, const std::string& dataHome,
             const fs::path& output) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0) {
            environment.emplace_back(*e);
        }
    }
    environment.push_back("XDG_DATA_HOME=" + dataHome);
    std::vector<char*> argv, envp;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    for (const auto& e : environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kChildTimeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return status;
}

// The lines the stand-in Mishap recorded, once a whole record is there.
std::vector<std::string> WaitForMishap(const fs::path& record) {
    const auto deadline = std::chrono::steady_clock::now() + kMishapTimeout;
    std::string text;
    while ((text = ReadFile(record)).find("--\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

class CrashReportTest : public testing::TestWithParam<CrashCase> {};

TEST_P(CrashReportTest, FaultLeavesLogDumpAndStartsMishap) {
    const CrashCase& c = GetParam();
    const fs::path root = fs::path(QOR_TEST_WORK_DIR) / "crash" / c.fault;
    const fs::path bin = root / "bin";
    const fs::path data = root / "data";
    fs::remove_all(root);
    fs::create_directories(bin);
    fs::create_directories(data);
    // The program's folder holds the program, its version file and the report program.
    const fs::path program = bin / "crash_child";
    std::error_code linkError;
    fs::create_hard_link(QOR_CRASH_CHILD, program, linkError);
    if (linkError) {
        fs::copy_file(QOR_CRASH_CHILD, program);
    }
    WriteFile(bin / "qor.ini", "[Version]\nMajor=1\nMinor=2\nBuild=3\n");
    const fs::path record = root / "mishap.txt";
    WriteFile(bin / "Mishap",
              "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" -- >> '" + record.string() + "'\n");
    fs::permissions(bin / "Mishap", fs::perms::owner_all);

    const int status = RunChild({program.string(), c.fault}, data.string(), root / "output.txt");
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << "\n"
                                     << ReadFile(root / "output.txt");
    EXPECT_EQ(WTERMSIG(status), c.signal);

    const fs::path temp = data / "QOR" / "Temp";
    const std::string bytes = ReadFile(temp / "ERRORLOG.TXT");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.size() % 2, 0U);
    EXPECT_NE(bytes.substr(0, 2), std::string("\xFF\xFE")) << "no byte-order mark";
    const std::string log = DecodeLog(bytes);
    ASSERT_FALSE(log.empty()) << "the log is ASCII in UTF-16LE";
    EXPECT_EQ(Count(log, "\n"), Count(log, "\r\n"));

    char code[16];
    std::snprintf(code, sizeof code, "%08x", c.code);
    const std::string firstLine =
        std::string("crash_child caused ") + c.text + " (0x" + code + ") \r\n";
    EXPECT_EQ(log.substr(0, firstLine.size()), firstLine);
    EXPECT_TRUE(std::regex_search(log, std::regex(std::string("^[^\n]*\nin module ") + c.module +
                                                  " at [0-9a-f]{4}:[0-9a-f]{16}\\.\r\n")));
    std::size_t at = 0;
    for (const char* section : kSections) {
        const std::size_t found = log.find(section, at);
        EXPECT_NE(found, std::string::npos) << "section " << section;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_EQ(Count(log, "\r\nin module "), 1U);
    EXPECT_EQ(Count(log, "[end of ERRORLOG.TXT]"), 1U);
    EXPECT_EQ(log.find("Exception encountered during stack dump"), std::string::npos);
    EXPECT_EQ(c.accessLine != nullptr, log.find("caused an access violation") != std::string::npos);
    if (c.accessLine != nullptr) {
        EXPECT_NE(log.find(c.accessLine), std::string::npos);
    }
    EXPECT_TRUE(std::regex_search(log, std::regex("Bytes at CS:RIP:\r\n([0-9a-f]{2} ){16}\r\n")));
    EXPECT_TRUE(std::regex_search(log, std::regex("\r\n0x[0-9a-f]{16}: ([0-9a-f]{16} ){4}")));
    EXPECT_NE(log.find("Module 1\r\n" + program.string() + "\r\nImage Base: 0x"),
              std::string::npos);
    EXPECT_NE(log.find("libc.so.6\r\n"), std::string::npos);

    const std::string dump = ReadFile(temp / "CRASH.DMP");
    ASSERT_GE(dump.size(), 32U);
    EXPECT_EQ(dump.substr(0, 4), "MDMP");
    EXPECT_EQ(Read<std::uint32_t>(dump, 4) & 0xFFFF, 0xA793U);
    const DumpSummary summary = ReadDump(dump);
    EXPECT_TRUE(summary.within);
    for (const std::uint32_t stream : {3U, 4U, 5U, 6U, 7U}) {
        EXPECT_EQ(summary.streams.count(stream), 1U) << "stream " << stream;
    }
    EXPECT_EQ(summary.exceptionCode, c.code);
    EXPECT_EQ(summary.threadCount, 1U);
    EXPECT_EQ(summary.threadId, summary.exceptionThread);
    EXPECT_NE(summary.threadId, 0U);
    EXPECT_EQ(summary.contextRip, summary.exceptionAddress);
    EXPECT_GT(summary.stackSize, 0U);
    // From below the stack pointer; or, when it has left the stack, from the stack's end.
    EXPECT_LT(summary.stackStart - (summary.contextRsp - 128), 64U * 1024);
    EXPECT_GE(summary.moduleCount, 2U);
    EXPECT_EQ(summary.firstModuleName, program.string());

    const std::vector<std::string> mishap = WaitForMishap(record);
    const std::vector<std::string> expected = {(bin / "Mishap").string(), "crash_child", "1.2.3",
                                               temp.string() + "/", "--"};
    EXPECT_EQ(mishap, expected);
}

INSTANTIATE_TEST_SUITE_P(Faults, CrashReportTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CrashCase>& param) {
                             std::string name = param.param.fault;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
