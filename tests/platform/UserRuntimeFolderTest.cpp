#include "platform/UserRuntimeFolder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The user other local users appear as in the tests.
constexpr uid_t kOtherUser = 65534;

struct FolderCase {
    const char* name;
    bool needsRoot; // to give a folder to another user
    // Prepares runtime (the runtime folder's path) and own (the one in the temporary folder),
    // both missing at first.
    std::function<void(const fs::path& runtime, const fs::path& own)> prepare;
    const char* chosen; // "runtime", "own" or "" (none)
};

void MakeFolder(const fs::path& path, mode_t mode) {
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

void GiveAway(const fs::path& path) {
    ASSERT_EQ(::lchown(path.c_str(), kOtherUser, kOtherUser), 0);
}

const FolderCase kCases[] = {
    {"the runtime folder", false, [](auto& runtime, auto&) { MakeFolder(runtime, 0700); },
     "runtime"},
    {"a runtime folder others may enter", false,
     [](auto& runtime, auto&) { MakeFolder(runtime, 0755); }, "own"},
    {"a runtime folder of another user", true,
     [](auto& runtime, auto&) {
         MakeFolder(runtime, 0700);
         GiveAway(runtime);
     },
     "own"},
    {"a link to a good runtime folder", false,
     [](auto& runtime, auto&) {
         MakeFolder(runtime.parent_path() / "real", 0700);
         fs::create_directory_symlink(runtime.parent_path() / "real", runtime);
     },
     "own"},
    {"no runtime folder", false, [](auto&, auto&) {}, "own"},
    {"an own folder made before", false, [](auto&, auto& own) { MakeFolder(own, 0700); }, "own"},
    {"an own folder others may write to", false, [](auto&, auto& own) { MakeFolder(own, 0777); },
     ""},
    {"an own folder of another user", true,
     [](auto&, auto& own) {
         MakeFolder(own, 0700);
         GiveAway(own);
     },
     ""},
    {"a link in the own folder's place", false,
     [](auto&, auto& own) {
         MakeFolder(own.parent_path() / "real", 0700);
         fs::create_directory_symlink(own.parent_path() / "real", own);
     },
     ""},
    {"a file in the own folder's place", false, [](auto&, auto& own) { std::ofstream{own}; }, ""},
};

TEST(UserRuntimeFolderTest, OnlyAFolderOfTheUsersOwnIsChosen) {
    const fs::path root = fs::path(QOR_TEST_WORK_DIR) / "runtime_folder";
    const uid_t uid = ::geteuid();
    for (const FolderCase& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && uid != 0) {
            continue;
        }
        fs::remove_all(root);
        fs::create_directories(root / "run");
        fs::create_directories(root / "tmp");
        const fs::path runtime = root / "run" / "user";
        const fs::path own = root / "tmp" / ("qor-" + std::to_string(uid));
        c.prepare(runtime, own);
        const std::string chosen = FindUserRuntimeFolder(runtime, (root / "tmp").string(), uid);
        const std::string expected = std::string(c.chosen) == "runtime" ? runtime.string()
                                     : std::string(c.chosen) == "own"   ? own.string()
                                                                        : std::string();
        EXPECT_EQ(chosen, expected);
        if (!chosen.empty()) {
            struct stat status {};
            ASSERT_EQ(::lstat(chosen.c_str(), &status), 0);
            EXPECT_TRUE(S_ISDIR(status.st_mode));
            EXPECT_EQ(status.st_mode & 0777, 0700U);
        }
    }
    // A relative runtime path is not taken, however good the folder; and a folder made under a
    // umask that takes the owner's bits is still the user's to use.
    fs::remove_all(root);
    fs::create_directories(root / "tmp");
    const mode_t umask = ::umask(0277);
    const std::string made = FindUserRuntimeFolder("tmp", (root / "tmp").string(), uid);
    ::umask(umask);
    EXPECT_EQ(made, (root / "tmp" / ("qor-" + std::to_string(uid))).string());
    fs::remove_all(root);
}

} // namespace
