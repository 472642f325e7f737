#pragma once
// A helper program started by a test, ended (SIGTERM, then waited for) when the object goes.
//
// Threads: one test thread calls the methods; the captured output is read on a thread of the
// object's own.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess() { Finish(); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Runs `args` (searched on PATH) with the current environment plus `env`; false when it
    // could not be started. Its standard output is kept for Finish when `captureOutput`, else
    // dropped; its standard error is dropped.
    bool Start(const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, bool captureOutput = true);
    // As Start, with standard output and standard error both written to `outputFile`.
    bool StartWritingTo(const std::filesystem::path& outputFile,
                        const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env = {});

    // True while the program has not ended.
    bool Running();
    void Signal(int number);
    // Waits up to `limit` for the end of a started program and answers its wait status; one
    // still running then is killed (SIGKILL) and -1 answered.
    int Wait(std::chrono::milliseconds limit);
    // Ends the program (unless `waitForExit`: waits for it to end) and returns what it wrote.
    std::vector<std::uint8_t> Finish(bool waitForExit = false);

private:
    bool Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               const std::string& outputFile, bool captureOutput);
    void Read(int fd);

    pid_t m_pid = -1;
    int m_status = 0;
    std::thread m_reader;
    std::mutex m_lock;
    std::vector<std::uint8_t> m_output; // guarded by m_lock
};
