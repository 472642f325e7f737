#include "MediaFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string FixtureFolder() {
    const fs::path folder = fs::path(QOR_FIXTURE_DIR);
    fs::create_directories(folder);
    return folder.string() + "/";
}

static int RunFfmpeg(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeMedia(const std::string& name, const std::vector<std::string>& ffmpegArgs) {
    const std::string out = FixtureFolder() + name;
    if (fs::exists(out)) {
        return out;
    }
    // The temporary name keeps the extension: ffmpeg picks the container from it.
    const std::string tmp = FixtureFolder() + "tmp." + std::to_string(getpid()) + "." + name;
    std::vector<std::string> args{QOR_FFMPEG_COMMAND, "-nostdin", "-v", "error", "-y"};
    args.insert(args.end(), ffmpegArgs.begin(), ffmpegArgs.end());
    args.push_back(tmp);
    const int rc = RunFfmpeg(args);
    if (rc != 0) {
        ADD_FAILURE() << "ffmpeg failed (" << rc << ") making " << name;
        fs::remove(tmp);
        return "";
    }
    fs::rename(tmp, out);
    return out;
}

std::string WriteFixtureFile(const std::string& name, const std::string& bytes) {
    const std::string out = FixtureFolder() + name;
    std::ofstream(out, std::ios::binary | std::ios::trunc) << bytes;
    return out;
}
