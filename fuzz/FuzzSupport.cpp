#include "FuzzSupport.h"

#include "core/WideText.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

struct CFolder {
    CFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qor-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        bytes = pattern + "/";
        path = PathFromBytes(bytes);
    }
    ~CFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(bytes, ignored);
    }
    std::string bytes;
    std::wstring path;
};

} // namespace

const std::wstring& FuzzFolder() {
    static const CFolder folder;
    return folder.path;
}

std::wstring WriteFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::wstring path = FuzzFolder() + PathFromBytes(name);
    std::ofstream out(PathToBytes(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        std::perror("writing a fuzz input");
        std::abort();
    }
    return path;
}

std::string ReadWholeFile(const std::wstring& path) {
    std::ifstream in(PathToBytes(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FuzzFailure(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}
