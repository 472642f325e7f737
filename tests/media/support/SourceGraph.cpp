#include "support/SourceGraph.h"

#include <cstdio>
#include <cstdlib>

#include "core/WideText.h"

CWatchdog::CWatchdog(std::chrono::seconds limit) {
    m_thread = std::thread([this, limit] {
        std::unique_lock lock(m_lock);
        if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
            std::fprintf(stderr, "watchdog: test still running after %lld s\n",
                         static_cast<long long>(limit.count()));
            std::abort();
        }
    });
}

CWatchdog::~CWatchdog() {
    {
        std::lock_guard lock(m_lock);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

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
    auto ended = [](CRecordingPin& p) { return !p.connected || p.endOfStreams > 0; };
    return video.WaitFor(ended, limit) && audio.WaitFor(ended, limit);
}

CPixel PixelAt(const CRecordedSample& frame, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    if (at + 2 >= frame.data.size()) {
        return CPixel{-1, -1, -1};
    }
    return CPixel{frame.data[at], frame.data[at + 1], frame.data[at + 2]};
}
