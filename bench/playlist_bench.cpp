// What a 100,000-row playlist costs: writing its file (encoded, synced to disk and renamed over
// the old one) and reading it back, beside a plain unsynced write and a plain read of the same
// bytes; sorting the rows by title and by file size, beside std::sort of the bare titles.
#include "playlist/PlaylistFile.h"
#include "playlist/PlaylistSort.h"

#include "core/WideText.h"

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kRows = 100000;

template <class F> double Milliseconds(F work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - begin;
    return spent.count();
}

} // namespace

int main() {
    std::mt19937 random(2024);
    std::vector<std::wstring> paths;
    std::vector<std::unique_ptr<CClipInfo>> items;
    for (int i = 0; i < kRows; ++i) {
        auto item = std::make_unique<CClipInfo>();
        item->path = L"/home/user/Videos/Series " + std::to_wstring(random() % 500) +
                     L"/Episode \u00E9t\u00E9 " + std::to_wstring(random()) + L".mkv";
        item->fileSize = static_cast<std::uint64_t>(random());
        paths.push_back(item->path);
        items.push_back(std::move(item));
    }

    QTemporaryDir dir;
    const std::string file = dir.path().toStdString() + "/bench.mpl";
    const std::wstring wideFile = Utf8ToWide(file);

    bool ok = true;
    const double write = Milliseconds([&] { ok = WritePlaylistFile(wideFile, paths) && ok; });
    std::size_t lines = 0;
    const double read = Milliseconds(
        [&] { ok = ReadPlaylistFile(wideFile, [&](const std::wstring&) { ++lines; }) && ok; });
    std::string bytes;
    const double plainRead = Milliseconds([&] {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    });
    const double plainWrite =
        Milliseconds([&] { std::ofstream(file + ".plain", std::ios::binary) << bytes; });

    std::vector<const CClipInfo*> rows;
    for (const auto& item : items) {
        rows.push_back(item.get());
    }
    CPlaylistSorter sorter;
    const double byTitle = Milliseconds([&] { sorter.Sort(kSortByTitle, rows, kRows / 2); });
    const double bySize = Milliseconds([&] { sorter.Sort(kSortByFileSize, rows, kRows / 2); });
    std::vector<std::wstring> titles;
    for (const auto& item : items) {
        titles.push_back(item->DisplayName());
    }
    const double plainSort = Milliseconds([&] { std::sort(titles.begin(), titles.end()); });

    if (!ok || lines != paths.size()) {
        std::fprintf(stderr, "playlist file round trip failed (%zu of %zu lines)\n", lines,
                     paths.size());
        return 1;
    }
    std::printf("%d rows, file of %zu bytes\n", kRows, bytes.size());
    std::printf("write playlist file  %8.1f ms   (plain unsynced write of the bytes %6.1f ms)\n",
                write, plainWrite);
    std::printf("read playlist file   %8.1f ms   (plain read of the bytes %6.1f ms)\n", read,
                plainRead);
    std::printf("sort by title        %8.1f ms   (std::sort of the bare titles %6.1f ms)\n",
                byTitle, plainSort);
    std::printf("sort by file size    %8.1f ms\n", bySize);
    return 0;
}
