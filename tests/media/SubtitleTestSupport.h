#pragma once
// A per-test data home (so the Temp and Subtitles folders are the test's own) and small file and
// frame helpers shared by the subtitle tests.

#include "core/WideText.h"
#include "platform/graph/PictureOverlay.h"

#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class CSubtitleTestBase : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_DATA_HOME", (m_root + "data").c_str(), 1); }

    std::wstring Write(const std::string& relative, const std::string& bytes) const {
        return Utf8ToWide(m_folder.Write(relative, bytes));
    }

    static std::string Read(const std::wstring& path) { return ReadFile(WideToUtf8(path)); }

    CScratchFolder m_folder{"subtitle"};
    const std::string m_root = m_folder.Root();
};

// A black B,G,R frame.
struct CTestFrame {
    CTestFrame(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 3) {}

    std::uint8_t* data() { return pixels.data(); }
    CBgrCanvas Canvas() { return CBgrCanvas{pixels.data(), width, height, width * 3, 3}; }
    bool Blank() const {
        return std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t b) { return b == 0; });
    }
    // Rows holding any non-black pixel, as [first, last]; {-1, -1} when blank.
    std::pair<int, int> DrawnRows() const {
        int first = -1, last = -1;
        for (int row = 0; row < height; ++row) {
            const auto begin = pixels.begin() + static_cast<std::ptrdiff_t>(row) * width * 3;
            if (std::any_of(begin, begin + width * 3, [](std::uint8_t b) { return b != 0; })) {
                first = first < 0 ? row : first;
                last = row;
            }
        }
        return {first, last};
    }

    int width;
    int height;
    std::vector<std::uint8_t> pixels;
};
