// The graph with its real renderers, fed by a source of generated sound and frames: what a
// paused graph costs, and how long a run waits for the renderers' first data.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "platform/graph/FilterGraph.h"
#include "platform/graph/SoundRenderer.h"
#include "platform/graph/Source.h"
#include "platform/graph/SourceStream.h"
#include "platform/graph/VideoRenderer.h"
#include "support/RenderTestSupport.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 48000;
constexpr int kWidth = 8;
constexpr int kHeight = 4;
constexpr REFERENCE_TIME kSoundChunk = UNITS / 100; // 10 ms per sample and per pull
constexpr REFERENCE_TIME kFrameTime = UNITS / 25;

// CPU time a thread of this process has used, in clock ticks.
long CpuTicks(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        return 0; // the thread has ended (a closed output's): it uses nothing more
    }
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) { // field 3 is the state
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

// Holds every pin's first fill until a time or until released, like a slow first decode.
struct CGate {
    std::mutex lock;
    std::condition_variable released;
    std::chrono::steady_clock::time_point openAt; // guarded by lock
    bool open = false;                            // guarded by lock

    void Wait() {
        std::unique_lock guard(lock);
        released.wait_until(guard, openAt, [this] { return open; });
    }
    void Open() {
        std::lock_guard guard(lock);
        open = true;
        released.notify_all();
    }
};

// Delivers timed samples of one type without end; remembers its delivery thread.
class CGeneratorPin : public CSourceStream {
public:
    CGeneratorPin(CSource* filter, CMediaType type, long bytes, REFERENCE_TIME length, CGate* gate)
        : CSourceStream("Generator", filter), m_type(std::move(type)), m_bytes(bytes),
          m_length(length), m_gate(gate) {}

    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position != 0) {
            return S_FALSE;
        }
        *type = m_type;
        return S_OK;
    }
    HRESULT CheckMediaType(const CMediaType&) override { return S_OK; }

    std::atomic<pid_t> thread{0};
    std::atomic<int> delivered{0};

protected:
    HRESULT DecideBufferSize(CMemAllocator* allocator, CAllocatorProperties*) override {
        CAllocatorProperties request{1, m_bytes, 1, 0}, actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(CMediaSample& sample) override {
        if (thread == 0) {
            thread = gettid();
            m_gate->Wait();
        }
        std::memset(sample.GetPointer(), 0x20, static_cast<std::size_t>(m_bytes));
        sample.SetActualDataLength(m_bytes);
        REFERENCE_TIME start = m_next, stop = start + m_length;
        sample.SetTime(&start, &stop);
        m_next = stop;
        ++delivered;
        return S_OK;
    }

private:
    const CMediaType m_type;
    const long m_bytes;
    const REFERENCE_TIME m_length;
    CGate* m_gate;
    REFERENCE_TIME m_next = 0; // delivery thread only
};

class CGeneratorSource : public CSource {
public:
    explicit CGeneratorSource(CGate* gate) {
        auto sound = std::make_unique<CGeneratorPin>(this, PcmType(kRate, 2), kRate / 100 * 4,
                                                     kSoundChunk, gate);
        auto video = std::make_unique<CGeneratorPin>(this, RgbType(kWidth, -kHeight),
                                                     kWidth * kHeight * 3, kFrameTime, gate);
        soundPin = sound.get();
        videoPin = video.get();
        AddPin(std::move(sound));
        AddPin(std::move(video));
    }
    ~CGeneratorSource() override { CSource::Stop(); }

    CGeneratorPin* soundPin;
    CGeneratorPin* videoPin;
};

// The null output, counting its pulls and the outputs open, and remembering its thread.
class CCountingOutput : public ISoundOutput {
public:
    CCountingOutput(std::atomic<int>* pulls, std::atomic<pid_t>* thread, std::atomic<int>* open)
        : m_output(CreateNullSoundOutput(kRate / 100)), m_pulls(pulls), m_thread(thread),
          m_openOutputs(open) {}

    bool Open(int rate, int channels, PullFn pull) override {
        const bool opened =
            m_output->Open(rate, channels, [this, pull](std::uint8_t* out, std::size_t bytes) {
                *m_thread = gettid();
                ++*m_pulls;
                pull(out, bytes);
            });
        m_open = opened;
        *m_openOutputs += opened ? 1 : 0;
        return opened;
    }
    void Start() override { m_output->Start(); }
    void Pause() override { m_output->Pause(); }
    void Close() override {
        m_output->Close();
        *m_openOutputs -= std::exchange(m_open, false) ? 1 : 0;
    }
    int LatencyFrames() const override { return m_output->LatencyFrames(); }
    int ChunkFrames() const override { return m_output->ChunkFrames(); }
    std::string Describe() const override { return "counting " + m_output->Describe(); }

private:
    std::unique_ptr<ISoundOutput> m_output;
    std::atomic<int>* m_pulls;
    std::atomic<pid_t>* m_thread;
    std::atomic<int>* m_openOutputs;
    bool m_open = false;
};

class GraphRenderersTimed : public ::testing::Test {
protected:
    void SetUp() override {
        gate.openAt = std::chrono::steady_clock::now();
        graph = CreateFilterGraph();
        control = QueryInterface<IMediaControl>(graph);
        seeking = QueryInterface<IMediaSeeking>(graph);
        ASSERT_EQ(graph->SetDefaultSyncSource(), S_OK);
        source = std::make_shared<CGeneratorSource>(&gate);
        sound = std::make_shared<CSoundRenderer>([this] {
            return std::make_unique<CCountingOutput>(&pulls, &outputThread, &openOutputs);
        });
        video = std::make_shared<CVideoRenderer>();
        ASSERT_EQ(graph->AddFilter(source, L"Source"), S_OK);
        ASSERT_EQ(graph->AddFilter(video, L"Video Renderer"), S_OK);
        ASSERT_EQ(graph->AddFilter(sound, L"Audio Renderer"), S_OK);
        ASSERT_EQ(graph->Connect(source->soundPin, sound.get()), S_OK);
        ASSERT_EQ(graph->Connect(source->videoPin, video.get()), S_OK);
    }
    void TearDown() override {
        gate.Open();
        control->Stop();
    }

    // Runs the graph, answering how long the call took.
    std::chrono::milliseconds TimedRun() {
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(control->Run(), S_OK);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - before);
    }

    REFERENCE_TIME Position() {
        REFERENCE_TIME position = -1;
        seeking->GetCurrentPosition(&position);
        return position;
    }

    CGate gate;
    std::atomic<int> pulls{0};
    std::atomic<pid_t> outputThread{0};
    std::atomic<int> openOutputs{0};
    std::shared_ptr<IGraphBuilder> graph;
    std::shared_ptr<IMediaControl> control;
    std::shared_ptr<IMediaSeeking> seeking;
    std::shared_ptr<CGeneratorSource> source;
    std::shared_ptr<CSoundRenderer> sound;
    std::shared_ptr<CVideoRenderer> video;
};

TEST_F(GraphRenderersTimed, APausedGraphPullsNoSoundAndItsThreadsSleep) {
    ASSERT_LT(TimedRun(), 500ms);
    std::this_thread::sleep_for(300ms);
    ASSERT_GT(pulls.load(), 10) << "the output plays while running";
    ASSERT_NE(outputThread.load(), 0);
    ASSERT_EQ(control->Pause(), S_OK);
    std::this_thread::sleep_for(50ms);
    int drawn = 0, dropped = 0;
    auto quality = QueryInterface<IQualProp>(graph);
    ASSERT_EQ(quality->get_FramesDrawn(&drawn), S_OK);
    ASSERT_EQ(quality->get_FramesDroppedInRenderer(&dropped), S_OK);
    EXPECT_GE(drawn, 5) << "the graph answers the video renderer's counts";
    EXPECT_EQ(drawn + dropped, source->videoPin->delivered - 1) << "one frame is in Receive";

    const pid_t threads[] = {outputThread, source->soundPin->thread, source->videoPin->thread};
    const auto ticks = [&] {
        long sum = 0;
        for (pid_t tid : threads) {
            sum += CpuTicks(tid);
        }
        return sum;
    };
    const int pullsAtPause = pulls;
    const int framesAtPause = source->videoPin->delivered;
    const REFERENCE_TIME positionAtPause = Position();
    const long ticksAtPause = ticks();
    std::this_thread::sleep_for(2s);
    const long used = ticks() - ticksAtPause;
    std::printf("paused 2 s: %d pulls, %ld ticks of CPU in the output and delivery threads\n",
                pulls - pullsAtPause, used);
    EXPECT_EQ(pulls.load(), pullsAtPause) << "no silence is pulled while paused";
    EXPECT_EQ(source->videoPin->delivered.load(), framesAtPause);
    EXPECT_EQ(Position(), positionAtPause);
    EXPECT_LE(used, 2) << "the threads of a paused graph sleep";
    EXPECT_EQ(openOutputs.load(), 0) << "a pause lets the output go";

    // Running again, sound plays through an output opened anew.
    ASSERT_LT(TimedRun(), 500ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(pulls.load(), pullsAtPause + 10);
    EXPECT_EQ(openOutputs.load(), 1);

    // Stopped, the output's thread sleeps as well.
    ASSERT_EQ(control->Stop(), S_OK);
    const long outputAtStop = CpuTicks(outputThread);
    const int pullsAtStop = pulls;
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(pulls.load(), pullsAtStop);
    EXPECT_LE(CpuTicks(outputThread) - outputAtStop, 1);
    EXPECT_EQ(openOutputs.load(), 0) << "a stop lets the output go";
}

TEST_F(GraphRenderersTimed, ARunWaitsForTheFirstDataAndNoLonger) {
    {
        std::lock_guard guard(gate.lock);
        gate.openAt = std::chrono::steady_clock::now() + 200ms;
    }
    const auto waited = TimedRun();
    std::printf("run from stopped with the first data after 200 ms: %lld ms\n",
                static_cast<long long>(waited.count()));
    EXPECT_GE(waited, 190ms) << "the clock must not start before the first data";
    EXPECT_LT(waited, 300ms);

    // A renderer that will get no data lets the wait go when it stops. The stop comes from
    // another thread, and the wait answers that nothing arrived.
    ASSERT_EQ(control->Stop(), S_OK);
    {
        std::lock_guard guard(gate.lock);
        gate.openAt = std::chrono::steady_clock::now() + 1h;
    }
    const std::pair<const char*, IBaseFilter*> renderers[] = {{"video", video.get()},
                                                              {"sound", sound.get()}};
    for (const auto& [name, filter] : renderers) {
        IBaseFilter* const renderer = filter;
        ASSERT_EQ(renderer->Pause(), S_OK);
        auto stopper = std::async(std::launch::async, [renderer] {
            std::this_thread::sleep_for(150ms);
            renderer->Stop();
        });
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(renderer->WaitForPreroll(before + 5s)) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - before, 600ms)
            << name << ": a stopped renderer will never have data";
        stopper.get();
    }
}

} // namespace
