#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool CChildProcess::Start(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env, bool captureOutput) {
    return Spawn(args, env, "", captureOutput);
}

bool CChildProcess::StartWritingTo(const std::filesystem::path& outputFile,
                                   const std::vector<std::string>& args,
                                   const std::map<std::string, std::string>& env) {
    return Spawn(args, env, outputFile.string(), false);
}

bool CChildProcess::Spawn(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env,
                          const std::string& outputFile, bool captureOutput) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (env.count(entry.substr(0, entry.find('='))) == 0) {
            environment.push_back(entry);
        }
    }
    for (const auto& [name, value] : env) {
        environment.push_back(name + "=" + value);
    }
    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe(pipeEnds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    } else {
        const char* output = outputFile.empty() ? "/dev/null" : outputFile.c_str();
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output,
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    std::vector<char*> argv, envp;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    for (const auto& e : environment) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    const int failed = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        close(pipeEnds[1]);
        if (failed != 0) {
            close(pipeEnds[0]);
        } else {
            m_reader = std::thread([this, fd = pipeEnds[0]] { Read(fd); });
        }
    }
    if (failed != 0) {
        m_pid = -1;
    }
    return failed == 0;
}

bool CChildProcess::Running() {
    if (m_pid > 0 && waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
        m_pid = -1;
    }
    return m_pid > 0;
}

void CChildProcess::Signal(int number) {
    if (m_pid > 0) {
        kill(m_pid, number);
    }
}

int CChildProcess::Wait(std::chrono::milliseconds limit) {
    // Polled often: tests time the end from its return.
    constexpr auto kPollInterval = std::chrono::milliseconds(2);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            Finish(true);
            return -1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return m_status;
}

std::vector<std::uint8_t> CChildProcess::Finish(bool waitForExit) {
    if (m_pid > 0) {
        if (!waitForExit) {
            kill(m_pid, SIGTERM);
        }
        waitpid(m_pid, &m_status, 0);
        m_pid = -1;
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
    std::lock_guard lock(m_lock);
    return m_output;
}

void CChildProcess::Read(int fd) {
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        std::lock_guard lock(m_lock);
        m_output.insert(m_output.end(), buffer, buffer + got);
    }
    close(fd);
}
