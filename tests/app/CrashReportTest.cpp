// The crash report end to end: a program with the handler installed faults in a child process,
// with its own data folder and a stand-in Mishap beside it that records how it was started; the
// error log, the minidump and that record are then checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestFiles.h"

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
    // Another thread holding the dynamic loader's lock does not hold up the report.
    {"loader-lock", SIGSEGV, 0xC0000005, "an Access Violation", "crash_child",
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

// A folder of its own for one run: the program's folder with the program, its version file and
// a stand-in Mishap that records how it was started, and the data folder the report goes to.
struct CrashRun {
    fs::path root;
    fs::path program;
    fs::path data;
    fs::path temp;   // the data folder's QOR/Temp, created empty
    fs::path record; // what the stand-in Mishap recorded

    explicit CrashRun(const std::string& name)
        : root(fs::path(QOR_TEST_WORK_DIR) / "crash" / name), program(root / "bin" / "crash_child"),
          data(root / "data"), temp(data / "QOR" / "Temp"), record(root / "mishap.txt") {
        fs::remove_all(root);
        fs::create_directories(program.parent_path());
        fs::create_directories(temp);
        std::error_code linkError;
        fs::create_hard_link(QOR_CRASH_CHILD, program, linkError);
        if (linkError) {
            fs::copy_file(QOR_CRASH_CHILD, program);
        }
        WriteFile(program.parent_path() / "qor.ini", "[Version]\nMajor=1\nMinor=2\nBuild=3\n");
        const fs::path mishap = program.parent_path() / "Mishap";
        WriteFile(mishap,
                  "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" -- >> '" + record.string() + "'\n");
        fs::permissions(mishap, fs::perms::owner_all);
    }

    int Run(const char* fault) const {
        // Its output into a file; the wait status, or -1 when it did not end in time.
        CChildProcess child;
        if (!child.StartWritingTo(root / "output.txt", {program.string(), fault},
                                  {{"XDG_DATA_HOME", data.string()}})) {
            return -1;
        }
        return child.Wait(kChildTimeout);
    }
};

// The modules the report must list, from the child's copy of its maps: the files mapped from
// offset 0 with read access whose first bytes are an ELF header.
std::set<std::string> MappedElfFiles(const fs::path& maps) {
    std::set<std::string> files;
    std::istringstream lines(ReadFile(maps));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string range, permissions, offset, device, inode, path;
        fields >> range >> permissions >> offset >> device >> inode;
        std::getline(fields >> std::ws, path);
        if (permissions[0] == 'r' && std::stoull(offset, nullptr, 16) == 0 &&
            path.starts_with("/") &&
            ReadFile(path).substr(0, 4) == "\x7f"
                                           "ELF") {
            files.insert(path);
        }
    }
    return files;
}

// The path under each "Module N" line of the log, in order.
std::vector<std::string> LoggedModules(const std::string& log) {
    std::vector<std::string> paths;
    const std::regex module("\r\nModule [0-9]+\r\n([^\r]*)\r\nImage Base: ");
    for (std::sregex_iterator it(log.begin(), log.end(), module), end; it != end; ++it) {
        paths.push_back((*it)[1]);
    }
    return paths;
}

bool IsUserOnlyFile(const fs::path& path) {
    const fs::file_status status = fs::symlink_status(path);
    return status.type() == fs::file_type::regular &&
           (status.permissions() & fs::perms::all) ==
               (fs::perms::owner_read | fs::perms::owner_write);
}

class CrashReportTest : public testing::TestWithParam<CrashCase> {};

TEST_P(CrashReportTest, FaultLeavesLogDumpAndStartsMishap) {
    const CrashCase& c = GetParam();
    const CrashRun run(c.fault);
    const int status = run.Run(c.fault);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << "\n"
                                     << ReadFile(run.root / "output.txt");
    EXPECT_EQ(WTERMSIG(status), c.signal);

    const fs::path& temp = run.temp;
    const fs::path& program = run.program;
    EXPECT_TRUE(IsUserOnlyFile(temp / "ERRORLOG.TXT"));
    EXPECT_TRUE(IsUserOnlyFile(temp / "CRASH.DMP"));
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

    // The program first, then every other ELF file it maps, each once.
    const std::vector<std::string> modules = LoggedModules(log);
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(modules.front(), program.string());
    EXPECT_EQ(std::set<std::string>(modules.begin(), modules.end()).size(), modules.size());
    const std::set<std::string> mapped = MappedElfFiles(run.data / "maps.txt");
    EXPECT_EQ(std::set<std::string>(modules.begin(), modules.end()), mapped);
    EXPECT_EQ(std::count_if(mapped.begin(), mapped.end(),
                            [](const std::string& path) { return path.ends_with("/libc.so.6"); }),
              1);

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
    EXPECT_EQ(summary.moduleCount, modules.size());
    EXPECT_EQ(summary.firstModuleName, program.string());

    const std::vector<std::string> mishap = WaitForMishap(run.record);
    const std::vector<std::string> expected = {(program.parent_path() / "Mishap").string(),
                                               "crash_child", "1.2.3", temp.string() + "/", "--"};
    EXPECT_EQ(mishap, expected);
}

INSTANTIATE_TEST_SUITE_P(Faults, CrashReportTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CrashCase>& param) {
                             std::string name = param.param.fault;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// What lies at the report files' names before the fault: files of an earlier report, readable
// by everyone, are emptied and made the user's alone; a symbolic link is left as it is and the
// file it points to untouched: at the dump's name the dump is not written, at the log's the
// report stops there.
TEST(CrashReportFilesTest, TheFilesAreTheUsersAloneAndLinksAreNotFollowed) {
    struct Planted {
        const char* name;
        const char* link; // the file name a link is planted at, or nullptr for earlier files
        bool logWritten;
        bool dumpWritten;
    };
    const Planted cases[] = {
        {"earlier", nullptr, true, true},
        {"link-dump", "CRASH.DMP", true, false},
        {"link-log", "ERRORLOG.TXT", false, false},
    };
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.name);
        const CrashRun run(c.name);
        const fs::path victim = run.root / "victim.txt";
        WriteFile(victim, "keep me");
        if (c.link != nullptr) {
            fs::create_symlink(victim, run.temp / c.link);
        } else {
            for (const char* name : {"ERRORLOG.TXT", "CRASH.DMP"}) {
                WriteFile(run.temp / name, std::string(1 << 20, 'x'));
                fs::permissions(run.temp / name, fs::perms::owner_read | fs::perms::owner_write |
                                                     fs::perms::group_read |
                                                     fs::perms::others_read);
            }
        }

        const int status = run.Run("null");
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), SIGSEGV);
        EXPECT_EQ(ReadFile(victim), "keep me");
        if (c.link != nullptr) {
            EXPECT_TRUE(fs::is_symlink(run.temp / c.link));
        }
        EXPECT_EQ(IsUserOnlyFile(run.temp / "ERRORLOG.TXT"), c.logWritten);
        EXPECT_EQ(IsUserOnlyFile(run.temp / "CRASH.DMP"), c.dumpWritten);
        if (c.logWritten) {
            EXPECT_EQ(DecodeLog(ReadFile(run.temp / "ERRORLOG.TXT")).substr(0, 19),
                      "crash_child caused ");
        }
        if (c.dumpWritten) {
            EXPECT_EQ(ReadDump(ReadFile(run.temp / "CRASH.DMP")).exceptionCode, 0xC0000005U);
        }
        EXPECT_EQ(WaitForMishap(run.record).size(), c.logWritten ? 5U : 0U);
    }
}

// A report that never finishes still ends the process, by the watchdog's SIGALRM, after its 15 s.
TEST(CrashReportFilesTest, AHungReportIsEndedByTheWatchdog) {
    const CrashRun run("hung-report");
    const auto start = std::chrono::steady_clock::now();
    const int status = run.Run("hung-report");
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGALRM);
    EXPECT_GE(seconds, 14);
    EXPECT_FALSE(fs::exists(run.temp / "ERRORLOG.TXT"));
}

} // namespace
