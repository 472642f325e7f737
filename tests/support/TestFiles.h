#pragma once
// Files for tests: reading one whole, and a folder of the test's own that goes when it does.
#include <filesystem>
#include <string>

// The file's bytes; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// Writes `bytes` to `path`, making the folders on the way.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder below the build's test work folder, removed with everything in it when the
// object goes. `name` starts the folder's name (a blank in it tests paths handed on unquoted).
// A folder that cannot be made fails the calling test.
class CScratchFolder {
public:
    explicit CScratchFolder(const std::string& name = "scratch");
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // The folder's path, ending in '/'.
    const std::string& Root() const { return m_root; }
    // Writes `bytes` to `relative` below the folder; returns the file's full path.
    std::string Write(const std::string& relative, const std::string& bytes) const;

private:
    std::string m_root;
};
