// The playlist reader over any bytes, and the writer on what it read: a playlist written from the
// rows of any file reads back as the same rows.
#include "FuzzSupport.h"

#include "playlist/PlaylistFile.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = WriteFuzzFile("input.mpl", data, size);
    std::vector<std::wstring> rows;
    FUZZ_CHECK(ReadPlaylistFile(path, [&rows](const std::wstring& line) { rows.push_back(line); }));

    const std::wstring copy = FuzzFolder() + L"copy.mpl";
    FUZZ_CHECK(WritePlaylistFile(copy, rows));
    std::vector<std::wstring> again;
    FUZZ_CHECK(
        ReadPlaylistFile(copy, [&again](const std::wstring& line) { again.push_back(line); }));
    FUZZ_CHECK(again == rows);
    return 0;
}
