// The encoding-detecting text reader over any bytes: the first byte picks the open flags and the
// code page, the rest is the file. Whatever the bytes, the reader ends, and never yields more
// lines than the file has line feeds plus one.
#include "FuzzSupport.h"

#include "core/StdioFileEx.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, 4> kCodePages = {kCodePageAnsi, kCodePageUtf8, 1251, 932};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const std::wstring path = WriteFuzzFile("text.txt", data + 1, size - 1);
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    CStdioFileEx file;
    FUZZ_CHECK(file.Open(path, (mode & 1) != 0 ? CStdioFileEx::kModePaths : 0));
    file.SetCodePage(kCodePages[(mode >> 1) % kCodePages.size()]);
    const auto lineFeeds = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    std::size_t lines = 0;
    std::wstring line;
    while (file.ReadString(line)) {
        ++lines;
        FUZZ_CHECK(lines <= lineFeeds + 1);
        FUZZ_CHECK(line.find(L'\n') == std::wstring::npos);
    }
    FUZZ_CHECK(!file.ReadString(line));
    return 0;
}
