#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

CScratchFolder::CScratchFolder(const std::string& name) {
    fs::create_directories(QOR_SCRATCH_ROOT);
    std::string pattern = std::string(QOR_SCRATCH_ROOT "/") + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make " << pattern;
    }
    m_root = pattern + "/";
}

CScratchFolder::~CScratchFolder() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::string CScratchFolder::Write(const std::string& relative, const std::string& bytes) const {
    WriteFile(m_root + relative, bytes);
    return m_root + relative;
}
