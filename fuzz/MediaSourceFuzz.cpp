// The player's own source filter over any file: probe, demux and decode through the real
// CVeltoSource with its worker and pin threads, delivering into recording pins as fast as they
// take samples, then a seek (the first byte picks where) and playing on to the end again. A file
// that loads must reach its end of stream on every pin within a bounded time: a hang is a fault.
#include "FuzzSupport.h"

#include "core/Log.h"
#include "media/VeltoAudioStream.h"
#include "media/VeltoSource.h"
#include "media/VeltoVideoStream.h"
#include "platform/support/RecordingPin.h"

#include <chrono>
#include <cstdarg>

extern "C" {
#include <libavutil/log.h>
}

extern "C" int LLVMFuzzerInitialize(int*, char***);

namespace {

// Far beyond what decoding a small input takes, even under the sanitizers on a loaded machine.
constexpr auto kEndLimit = std::chrono::seconds(30);
// The seek targets, in steps of this many 100-ns units (half a second).
constexpr REFERENCE_TIME kSeekStep = UNITS / 2;

class CSteadyClock : public IReferenceClock {
public:
    REFERENCE_TIME GetTime() override {
        using namespace std::chrono;
        return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
    }
};

bool WaitForEnds(CRecordingPin& video, CRecordingPin& audio, int ends) {
    const auto ended = [ends](CRecordingPin& pin) {
        return !pin.connected || pin.endOfStreams >= ends;
    };
    return video.WaitFor(ended, kEndLimit) && audio.WaitFor(ended, kEndLimit);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // FFmpeg's own warnings about broken input would drown libFuzzer's output (the source sets
    // the level at every load, so the lines are dropped rather than the level lowered).
    av_log_set_callback([](void*, int, const char*, va_list) {});
    // The player's own log lines are still formatted, only not written.
    CLog::Instance().SetFileOutput(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = WriteFuzzFile("clip", data, size);
    CSteadyClock clock;
    CRecordingPin video; // outlive the source, which delivers into them until it stops
    CRecordingPin audio;
    CVeltoSource source;
    source.SetSyncSource(&clock);
    if (FAILED(source.Load(path.c_str()))) {
        return 0;
    }
    if (CVeltoVideoStream* pin = source.VideoPin();
        pin != nullptr && FAILED(pin->Connect(&video))) {
        return 0;
    }
    if (CVeltoAudioStream* pin = source.AudioPin();
        pin != nullptr && FAILED(pin->Connect(&audio))) {
        return 0;
    }
    FUZZ_CHECK(SUCCEEDED(source.Run(clock.GetTime())));
    FUZZ_CHECK(WaitForEnds(video, audio, 1));

    REFERENCE_TIME target = size > 0 ? (data[0] % 8) * kSeekStep : 0;
    source.PrimaryPin()->SetPositions(&target, SEEKING_ABSOLUTE_POSITIONING, nullptr,
                                      SEEKING_NO_POSITIONING);
    FUZZ_CHECK(WaitForEnds(video, audio, 2));

    // Stopped like a graph stops: the renderers first, so no delivery waits on them.
    video.StopRenderer(true);
    audio.StopRenderer(true);
    source.Stop();
    return 0;
}
