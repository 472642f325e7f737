// Times the recursive search "Add Folder" runs over a tree of 20,000 files made in a temporary
// folder, and the find command over the same tree as the peer figure. Goal: under one second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/FileFinder.h"
#include "core/SystemFolders.h"
#include "core/WideText.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// 20 top folders of 10 sub-folders of 100 files: about the shape of a music collection.
constexpr int kTopFolders = 20;
constexpr int kSubFolders = 10;
constexpr int kFilesPerFolder = 100;
constexpr int kRuns = 3;

double Seconds(Clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

void MakeTree(const fs::path& root) {
    for (int top = 0; top < kTopFolders; ++top) {
        for (int sub = 0; sub < kSubFolders; ++sub) {
            const fs::path folder =
                root / ("Artist " + std::to_string(top)) / ("Album " + std::to_string(sub));
            fs::create_directories(folder);
            for (int file = 0; file < kFilesPerFolder; ++file) {
                std::ofstream(folder / ("Track " + std::to_string(file) + ".mp3"));
            }
        }
    }
}

} // namespace

int main() {
    std::string pattern = WideToUtf8(TempFolderPath()) + "qor-discovery-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    MakeTree(root);
    const std::size_t expected = std::size_t{kTopFolders} * kSubFolders * kFilesPerFolder;

    double best = 1e9;
    std::size_t found = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        found = FindFilesByExtension(Utf8ToWide(root.string()), L"*").size();
        best = std::min(best, Seconds(Clock::now() - start));
    }

    double peer = 1e9;
    const std::string command = "find '" + root.string() + "' -type f > /dev/null";
    for (int run = 0; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "find failed\n");
        }
        peer = std::min(peer, Seconds(Clock::now() - start));
    }
    fs::remove_all(root);

    std::printf("folder search, %zu files (%zu found): %.3f s (best of %d; goal under 1 s)\n",
                expected, found, best, kRuns);
    std::printf("find -type f over the same tree: %.3f s\n", peer);
    return found == expected && best < 1.0 ? 0 : 1;
}
