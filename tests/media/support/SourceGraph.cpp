#include "support/SourceGraph.h"

#include <gtest/gtest.h>

#include "core/WideText.h"

REFERENCE_TIME CSteadyClock::GetTime() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
}

CSourceGraph::CSourceGraph(const std::string& path) {
    source.SetSyncSource(&clock);
    loadResult = source.Load(Utf8ToWide(path).c_str());
}

CSourceGraph::~CSourceGraph() {
    Stop();
}

HRESULT CSourceGraph::Connect(const CMediaType* videoProposal) {
    if (CVeltoVideoStream* pin = source.VideoPin()) {
        HRESULT hr = pin->Connect(&video, videoProposal);
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (CVeltoAudioStream* pin = source.AudioPin()) {
        return pin->Connect(&audio);
    }
    return S_OK;
}

void CSourceGraph::Stop() {
    video.StopRenderer(true);
    audio.StopRenderer(true);
    source.Stop();
    video.StopRenderer(false);
    audio.StopRenderer(false);
}

bool CSourceGraph::WaitForEnd(std::chrono::seconds limit) {
    auto ended = [](CRecordingPin& p) {
        return !p.connected || p.endOfStreams > p.endsBeforeFlushEnd;
    };
    return video.WaitFor(ended, limit) && audio.WaitFor(ended, limit);
}

CPixel PixelAt(const CRecordedSample& frame, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    if (at + 2 >= frame.data.size()) {
        return CPixel{-1, -1, -1};
    }
    return CPixel{frame.data[at], frame.data[at + 1], frame.data[at + 2]};
}

int BrightPixels(const CRecordedSample& frame, int width, int height) {
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            CPixel p = PixelAt(frame, width, x, y);
            count += p.r > 160 && p.g > 160 && p.b > 160;
        }
    }
    return count;
}

void ExpectTextOnlyDuring(const std::vector<CRecordedSample>& frames, int width, int height,
                          double from, double to) {
    constexpr double kEdge = 0.1; // seconds around the cue's edges left unchecked
    int inside = 0, outside = 0;
    for (const auto& frame : frames) {
        const double seconds = static_cast<double>(frame.start) / UNITS;
        if (seconds > from + kEdge && seconds < to - kEdge) {
            EXPECT_GT(BrightPixels(frame, width, height), 20) << "no text at " << seconds << " s";
            ++inside;
        } else if (seconds < from - kEdge || seconds > to + kEdge) {
            EXPECT_EQ(BrightPixels(frame, width, height), 0) << "text at " << seconds << " s";
            ++outside;
        }
    }
    EXPECT_GT(inside, 10);
    EXPECT_GT(outside, 30);
}
