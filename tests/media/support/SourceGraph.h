#pragma once
// Drives the real source filter the way the graph does: loads a file, connects each output pin
// to a recording input pin, runs, seeks and stops (renderers first), with a watchdog that ends
// the test program instead of letting a hung test wait forever.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../platform/support/RecordingPin.h"
#include "Watchdog.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "media/VeltoVideoStream.h"

class CSteadyClock : public IReferenceClock {
public:
    REFERENCE_TIME GetTime() override;
};

class CSourceGraph {
public:
    explicit CSourceGraph(const std::string& path);
    ~CSourceGraph();

    // Connects every pin the source has; the video pin with `videoProposal` when given.
    HRESULT Connect(const CMediaType* videoProposal = nullptr);
    HRESULT Run() { return source.Run(clock.GetTime()); }
    // Stops like a graph: renderers first, then the source; the renderers take samples again
    // afterwards.
    void Stop();
    // Waits until every connected pin had its end of stream.
    bool WaitForEnd(std::chrono::seconds limit = std::chrono::seconds(60));
    std::size_t VideoCount() {
        return video.Locked([](CRecordingPin& p) { return p.samples.size(); });
    }
    std::size_t AudioCount() {
        return audio.Locked([](CRecordingPin& p) { return p.samples.size(); });
    }

    HRESULT loadResult = E_FAIL;
    CSteadyClock clock;
    CRecordingPin video; // declared before the source, so they outlive it
    CRecordingPin audio;
    CVeltoSource source;
};

// The B, G, R bytes of pixel (x, y) of a recorded top-down frame width pixels wide.
struct CPixel {
    int b = 0, g = 0, r = 0;
};
CPixel PixelAt(const CRecordedSample& frame, int width, int x, int y);

// Pixels brighter than 160 in every channel: in a black clip, only drawn text.
int BrightPixels(const CRecordedSample& frame, int width, int height);
// Expects text in every frame that starts well inside the cue [from, to] seconds and in none
// well outside it (the frames at its edges may go either way), with enough frames of each.
void ExpectTextOnlyDuring(const std::vector<CRecordedSample>& frames, int width, int height,
                          double from, double to);
